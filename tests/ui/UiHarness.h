// A main window over a temporary program folder, with recorded prompts, scripted dialogs and a
// recording profile editor, for the view tests.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "profiles/Profile.h"
#include "support/RecordingPrompts.h"
#include "support/TempDir.h"
#include "ui/MainFrame.h"
#include "ui/ProfileEditorLauncher.h"
#include "ui/TarnwickDoc.h"
#include "ui/TarnwickView.h"
#include "ui/UiDialogs.h"

namespace tarnwick::ui::test {

using tarnwick::test::RecordingPrompts;
using tarnwick::test::TempDir;

class ScriptedDialogs : public UiDialogs {
 public:
  std::deque<std::optional<std::string>> openAnswers, saveAnswers, nameAnswers;
  std::vector<std::string> askedNames;  // the current names the rename dialog was preset with

  std::optional<std::string> ChooseLogToOpen(QWidget*) override { return Pop(openAnswers); }
  std::optional<std::string> ChooseLogToSave(QWidget*) override { return Pop(saveAnswers); }
  std::optional<std::string> AskProfileName(QWidget*, const std::string& current) override {
    askedNames.push_back(current);
    return Pop(nameAnswers);
  }

 private:
  static std::optional<std::string> Pop(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class RecordingEditor : public ProfileEditorLauncher {
 public:
  std::vector<ProfileEditorRequest> requests;
  void OpenEditor(QWidget*, const ProfileEditorRequest& request, ProfileEditorContext&) override {
    requests.push_back(request);
  }
};

// The program folder (bin/ with Profile/) and the current folder (for config.xml) of one test.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  const std::filesystem::path& path() const { return dir_.path(); }
  std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

  // A quick profile copying `source` (a file or folder) into dst/<name>; saved in Profile/.
  Profile SaveQuick(const std::string& name, const std::filesystem::path& source);
  // An enabled daily scheduled profile at 03:00 (or disabled).
  Profile SaveScheduled(const std::string& name, bool enabled = true);

 private:
  TempDir dir_;
  std::filesystem::path oldCwd_;
};

// The window of the program over a sandbox; its scheduler ticks only when a test calls OnTick.
struct Window {
  // `launcher`: the profile editor the window opens; the recording one when null.
  explicit Window(Sandbox& sandbox, ProfileEditorLauncher* launcher = nullptr);
  ~Window();

  // Selects the given rows of a list (none: clears the selection).
  void Select(CTarnwickView::Tab tab, const std::vector<int>& rows);
  // The texts of a list's rows in one column.
  QStringList Column(CTarnwickView::Tab tab, int column);
  // Waits until the running job has ended and its reports have reached the window.
  bool WaitForJobEnd(int ms = 20000);

  RecordingPrompts prompts;
  ScriptedDialogs dialogs;
  RecordingEditor editor;
  SystemClock clock;
  CTarnwickDoc doc{prompts, clock};
  CMainFrame frame;
  CTarnwickView* view = nullptr;
};

// Runs the event loop until `condition` holds or `ms` pass.
template <typename F>
bool WaitFor(F condition, int ms = 10000) {
  QDeadlineTimer deadline(ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qWait(5);
  }
  return true;
}

}  // namespace tarnwick::ui::test
