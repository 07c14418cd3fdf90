#include "UiHarness.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QSettings>
#include <QTreeView>
#include <gtest/gtest.h>

#include "app/ProgramFolder.h"
#include "schedule/ScheduleRecord.h"
#include "ui/ActivityLogModel.h"

namespace tarnwick::ui::test {

namespace fs = std::filesystem;

Sandbox::Sandbox() : oldCwd_(fs::current_path()) {
  fs::create_directories(dir_ / "bin/Profile");
  SetProgramFolderPath(dir_ / "bin");
  fs::current_path(dir_.path());
  QSettings(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick")).clear();
}

Sandbox::~Sandbox() { fs::current_path(oldCwd_); }

Profile Sandbox::SaveQuick(const std::string& name, const fs::path& source) {
  Profile p;
  ResetSchedule(p.schedule, std::time(nullptr));
  p.name = name;
  const bool folder = fs::is_directory(source);
  p.localSources.push_back(
      {source.string(), folder ? "+[*.*]" : "", folder ? ItemKind::LocalFolder : ItemKind::LocalFile, folder});
  p.localDestFolder = (dir_ / ("dst/" + name)).string();
  p.hasSources = p.hasDestination = true;
  ProfilePathFor(p);
  EXPECT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
  return p;
}

Profile Sandbox::SaveScheduled(const std::string& name, bool enabled) {
  Profile p = SaveQuick(name, dir_ / "bin");
  p.isScheduled = true;
  p.schedule.enabled = enabled;
  p.schedule.startTime = MakeLocalTime(1980, 2, 6, 3, 0);
  EXPECT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
  return p;
}

Window::Window(Sandbox&, ProfileEditorLauncher* launcher) {
  doc.OnNewDocument();
  view = new CTarnwickView(
      doc, frame, ViewServices{prompts, dialogs, launcher ? *launcher : editor, clock, /*tickScheduler=*/false});
  frame.show();
}

Window::~Window() { delete view; }

void Window::Select(CTarnwickView::Tab tab, const std::vector<int>& rows) {
  QTreeView* list = view->List(tab);
  QItemSelection selection;
  for (int row : rows) {
    selection.select(list->model()->index(row, 0), list->model()->index(row, list->model()->columnCount() - 1));
  }
  list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

QStringList Window::Column(CTarnwickView::Tab tab, int column) {
  view->LogModel()->Flush();
  QAbstractItemModel* model = view->List(tab)->model();
  QStringList texts;
  for (int row = 0; row < model->rowCount(); ++row) texts << model->index(row, column).data().toString();
  return texts;
}

bool Window::WaitForJobEnd(int ms) {
  const bool ended = WaitFor([this] { return !view->Controller().IsBusy(); }, ms);
  // The end's queued reports and the last rows.
  QCoreApplication::processEvents();
  QTest::qWait(CActivityLogModel::kFlushInterval * 2);
  view->LogModel()->Flush();
  return ended;
}

}  // namespace tarnwick::ui::test
