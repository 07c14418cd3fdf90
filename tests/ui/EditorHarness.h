// The profile editor's world over a sandbox: recorded prompts, scripted folder and file choosers,
// the catalogue, a controller with its log, and a way to act on a modal dialog once it is up.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "UiHarness.h"
#include "engine/BackupController.h"
#include "log/ActivityLog.h"
#include "profiles/ProfileCatalogue.h"
#include "ui/EditorServices.h"
#include "ui/QtHistoryStore.h"

namespace tarnwick::ui::test {

class ScriptedFiles : public FileChooser {
 public:
  std::deque<std::optional<std::string>> folders;  // answers of the folder browser
  std::deque<std::vector<std::string>> files;      // answers of the open-file dialog
  std::vector<QString> folderTitles;

  std::optional<std::string> ChooseFolder(QWidget*, const QString& title) override {
    folderTitles.push_back(title);
    if (folders.empty()) return std::nullopt;
    auto answer = folders.front();
    folders.pop_front();
    return answer;
  }
  std::vector<std::string> ChooseFiles(QWidget*) override {
    if (files.empty()) return {};
    auto answer = files.front();
    files.pop_front();
    return answer;
  }
};

class QuietObserver : public JobObserver {
 public:
  void OnStatusText(const std::string&) override {}
  void OnClearStatus() override {}
  void OnProgress(long long, long long) override {}
  void OnResetProgress() override {}
};

// Network time-outs short enough for a test that waits on a server that never answers.
inline constexpr FtpTimeouts kTestTimeouts{std::chrono::milliseconds(3000), std::chrono::milliseconds(3000)};

struct EditorWorld {
  RecordingPrompts prompts;
  SystemClock clock;
  CActivityLog log{clock};
  QuietObserver observer;
  CProfileCatalogue catalogue{prompts, clock};
  CBackupController controller{log, observer, prompts, clock, catalogue};
  ScriptedFiles files;
  QtHistoryStore history;
  std::vector<std::string> helpTopics;
  EditorServices services{
      catalogue, controller, prompts,      clock, [this](const std::string& topic) { helpTopics.push_back(topic); },
      files,     history,    kTestTimeouts};

  // The texts of the log's rows.
  std::vector<std::string> LogTexts() const {
    std::vector<std::string> texts;
    for (const LogRow& row : log.Rows()) texts.push_back(row[2]);
    return texts;
  }
};

// Readable names of table cases: the case's `name` field.
struct CaseName {
  template <typename Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& param) const {
    return param.param.name;
  }
};

// Runs `act` on the dialog of type D once it is the active modal window (within ten seconds).
template <typename D>
void WhenModal(std::function<void(D&)> act) {
  auto* timer = new QTimer;
  const QDeadlineTimer deadline(10000);
  QObject::connect(timer, &QTimer::timeout, [timer, deadline, act = std::move(act)] {
    if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(*dialog);
    } else if (deadline.hasExpired()) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
}

}  // namespace tarnwick::ui::test
