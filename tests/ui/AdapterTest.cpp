#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <thread>

#include "UiHarness.h"
#include "ui/ActivityLogAdapter.h"
#include "ui/ActivityLogModel.h"
#include "ui/JobObserverAdapter.h"

namespace tarnwick::ui::test {
namespace {

TEST(JobObserverAdapter, WorkerCallsArriveOnTheWindowsThreadLatestValuesFirst) {
  CJobObserverAdapter adapter;
  QStringList seen;
  std::vector<QThread*> threads;
  const auto note = [&](const QString& what) {
    seen << what;
    threads.push_back(QThread::currentThread());
  };
  QObject::connect(&adapter, &CJobObserverAdapter::statusText, [&](const QString& t) { note("text " + t); });
  QObject::connect(&adapter, &CJobObserverAdapter::statusCleared, [&] { note("cleared"); });
  QObject::connect(&adapter, &CJobObserverAdapter::progress,
                   [&](qint64 p, qint64 r) { note(QStringLiteral("progress %1/%2").arg(p).arg(r)); });
  QObject::connect(&adapter, &CJobObserverAdapter::progressReset, [&] { note("reset"); });
  QObject::connect(&adapter, &CJobObserverAdapter::jobEnded, [&](const QString& n, int code, bool stopped) {
    note(QStringLiteral("end %1 %2 %3").arg(n).arg(code).arg(stopped));
  });
  QObject::connect(&adapter, &CJobObserverAdapter::launchFailed,
                   [&](const QString& n, const QString& why) { note("failed " + n + ": " + why); });
  JobObserver& observer = adapter;
  std::thread first([&] {
    observer.OnStatusText("Backing up a.txt");
    observer.OnProgress(5000000000LL, 6000000000LL);
  });
  first.join();
  EXPECT_TRUE(seen.isEmpty());  // nothing ran on the worker
  ASSERT_TRUE(WaitFor([&] { return seen.size() == 2; }));
  EXPECT_EQ(seen, QStringList({"text Backing up a.txt", "progress 5000000000/6000000000"}));
  // A burst is told as its latest status and progress, then every launch failure and end in order.
  seen.clear();
  std::thread burst([&] {
    for (int i = 0; i < 1000; ++i) {
      observer.OnStatusText("file " + std::to_string(i));
      observer.OnProgress(i, 1000);
    }
    observer.OnClearStatus();
    observer.OnResetProgress();
    observer.OnLaunchFailed("nightly", Status::NotFound("/p/nightly.pfl", "gone"));
    observer.OnJobEnded(JobEnd{"docs", 1, true});
    observer.OnStatusText("next");
  });
  burst.join();
  ASSERT_TRUE(WaitFor([&] { return seen.size() >= 4; }));
  QTest::qWait(20);
  EXPECT_EQ(seen, QStringList({"text next", "reset", "failed nightly: /p/nightly.pfl: gone", "end docs 1 1"}));
  for (QThread* t : threads) EXPECT_EQ(t, qApp->thread());
}

// The model over a log, fed by the adapter, as the view wires them.
struct LogView {
  FixedClock clock{1700000000};
  CActivityLog log{clock};
  CActivityLogModel model;
  CActivityLogAdapter adapter{log, [this](std::vector<LogChange>&& c) { model.Apply(std::move(c)); }};

  QStringList Descriptions() {
    model.Flush();
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) texts << model.index(row, 2).data().toString();
    return texts;
  }
  bool Matches() {
    // The window's copy equals the log, row for row.
    const std::vector<LogRow> rows = log.Rows();
    QStringList expected;
    for (const LogRow& r : rows) expected << QString::fromStdString(r[2]);
    return WaitFor([&] { return Descriptions() == expected; }, 5000);
  }
};

TEST(ActivityLogModel, BacklogFirstThenRowsFromAWorkerInBatches) {
  LogView v;
  v.log.LogActionText(LOG_TASKNAME, "before");
  v.adapter.Attach();
  int insertions = 0;
  QObject::connect(&v.model, &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
  std::thread worker([&] {
    for (int i = 0; i < 5000; ++i) v.log.LogActionText(LOG_BACKUPFILE, "file " + std::to_string(i));
  });
  worker.join();
  ASSERT_TRUE(v.Matches());
  EXPECT_EQ(v.model.rowCount(), 5001);
  EXPECT_EQ(v.Descriptions().front(), "before");
  EXPECT_LE(insertions, 10);  // gathered, not one insertion per row
}

TEST(ActivityLogModel, ClearAndLoadKeepTheCopyEqualToTheLog) {
  tarnwick::test::TempDir dir;
  tarnwick::test::WriteFile(dir / "old.log", "t1\nERROR\nloaded one\nt2\nERROR\nloaded two\n");
  LogView v;
  v.adapter.Attach();
  v.log.LogActionText(LOG_ERROR, "a");
  v.log.LogActionText(LOG_ERROR, "b");
  ASSERT_TRUE(v.Matches());
  // A worker keeps appending while the file is loaded: the loaded rows go to the top and no row is
  // shown twice or lost.
  std::atomic<bool> go{true};
  std::thread worker([&] {
    for (int i = 0; go && i < 20000; ++i) v.log.LogActionText(LOG_BACKUPFILE, "w" + std::to_string(i));
  });
  SilentPrompts yes;
  ASSERT_TRUE(v.log.Load((dir / "old.log").string(), yes));
  go = false;
  worker.join();
  ASSERT_TRUE(v.Matches());
  EXPECT_EQ(v.Descriptions().mid(0, 2), QStringList({"loaded one", "loaded two"}));
  v.log.Clear();
  v.log.LogActionText(LOG_ERROR, "after clear");
  ASSERT_TRUE(v.Matches());
  EXPECT_EQ(v.Descriptions(), QStringList({"after clear"}));
}

// The descriptions the model shows now, as its own turns have left it (no Flush).
QStringList Shown(const CActivityLogModel& model) {
  QStringList texts;
  for (int row = 0; row < model.rowCount(); ++row) texts << model.index(row, 2).data().toString();
  return texts;
}

QStringList Numbered(const QString& prefix, int count) {
  QStringList texts;
  for (int i = 0; i < count; ++i) texts << prefix + QString::number(i);
  return texts;
}

TEST(ActivityLogModel, BurstLargerThanATurnIsShownWholeInOrderAcrossTurns) {
  LogView v;
  v.adapter.Attach();
  int largestInsertion = 0;
  QObject::connect(&v.model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
    largestInsertion = std::max(largestInsertion, last - first + 1);
  });
  const int burst = 3 * static_cast<int>(CActivityLogModel::kRowsPerTurn) + 7;
  std::thread worker([&] {
    for (int i = 0; i < burst; ++i) v.log.LogActionText(LOG_BACKUPFILE, "r" + std::to_string(i));
  });
  worker.join();
  ASSERT_TRUE(WaitFor([&] { return v.model.rowCount() == burst; }));
  EXPECT_EQ(Shown(v.model), Numbered("r", burst));
  // No turn of the window took the whole burst at once.
  EXPECT_LE(largestInsertion, static_cast<int>(CActivityLogModel::kRowsPerTurn));
}

TEST(ActivityLogModel, ClearWhileABurstIsBeingShownLeavesOnlyTheRowsAfterIt) {
  LogView v;
  v.adapter.Attach();
  const int burst = 3 * static_cast<int>(CActivityLogModel::kRowsPerTurn);
  for (int i = 0; i < burst; ++i) v.log.LogActionText(LOG_BACKUPFILE, "old" + std::to_string(i));
  // One turn of the window: part of the burst is shown, the rest waits for the next turns.
  bool turned = false;
  const QMetaObject::Connection once =
      QObject::connect(&v.model, &QAbstractItemModel::rowsInserted, [&] { turned = true; });
  const QDeadlineTimer deadline(10000);
  while (!turned && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QObject::disconnect(once);
  ASSERT_GT(v.model.rowCount(), 0);
  ASSERT_LT(v.model.rowCount(), burst);
  v.log.Clear();
  std::thread worker([&] {
    for (int i = 0; i < burst; ++i) v.log.LogActionText(LOG_BACKUPFILE, "new" + std::to_string(i));
  });
  worker.join();
  ASSERT_TRUE(WaitFor([&] { return v.model.rowCount() == burst && Shown(v.model).front() == "new0"; }));
  EXPECT_EQ(Shown(v.model), Numbered("new", burst));
}

TEST(ActivityLogModel, SeparatorAndUnknownCodesShowAsTheLogHoldsThem) {
  LogView v;
  v.adapter.Attach();
  v.log.LogActionText(LOG_SEPARATOR, "ignored");
  v.log.LogActionText(99, "odd");
  ASSERT_TRUE(v.Matches());
  v.model.Flush();
  EXPECT_EQ(v.model.index(0, 0).data().toString(), "##### TARNWICK #####");
  EXPECT_EQ(v.model.index(0, 1).data().toString(), " ");
  EXPECT_EQ(v.model.index(1, 1).data().toString(), "UNKNOWN ACTION");
}

}  // namespace
}  // namespace tarnwick::ui::test
