#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "app/ProgramFolder.h"
#include "engine/BackupController.h"
#include "engine/RunReport.h"
#include "profiles/ProfileCatalogue.h"
#include "support/RecordingPrompts.h"
#include "support/TempDir.h"
#include "zip/ZipTestSupport.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// The regular files below `folder` and their bytes: what a run left at its destination.
struct Found {
  long long files = 0;
  long long bytes = 0;
};
Found FilesBelow(const fs::path& folder) {
  Found found;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) {
      ++found.files;
      found.bytes += static_cast<long long>(it->file_size());
    }
  }
  return found;
}

class RunReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    SetProgramFolderPath(dir / "bin");
    fs::create_directories(dir / "bin/Profile");
    WriteFile(dir / "src/a.txt", "alpha");
    WriteFile(dir / "src/sub/b.txt", std::string(3000, 'b'));
  }

  Profile FolderProfile() const {
    Profile p;
    p.name = "docs";
    p.localSources.push_back({(dir / "src").string(), "+[*.*]", ItemKind::LocalFolder, true});
    p.localDestFolder = (dir / "dst").string();
    return p;
  }

  // Runs `profile` through the controller and returns its report, after checking that its REPORT
  // row says the same.
  RunReport RunToEnd(const Profile& profile) {
    EXPECT_EQ(controller.MakeJob(profile), CBackupController::StartResult::Started);
    controller.WaitForJobEnd();
    // Set before the controller takes new jobs; the observer hears of the end after that.
    RunReport report = controller.LastReport();
    const std::vector<LogRow> rows = log.Rows();
    EXPECT_EQ(rows.back().code, LOG_REPORT) << "the report is the run's last row";
    const std::optional<RunReport> logged = ParseReportRowText(rows.back()[2]);
    EXPECT_TRUE(logged && logged->outcome == report.outcome && logged->filesWritten == report.filesWritten &&
                logged->filesFailed == report.filesFailed && logged->bytesWritten == report.bytesWritten)
        << rows.back()[2];
    return report;
  }

  TempDir dir;
  FixedClock clock{MakeLocalTime(2024, 3, 5, 9)};
  CActivityLog log{clock};
  RecordingObserver observer;
  RecordingPrompts prompts;
  CProfileCatalogue catalogue{prompts, clock};
  CBackupController controller{log, observer, prompts, clock, catalogue};
};

TEST_F(RunReportTest, EachOutcomeComesFromARealRunAndItsCountsMatchTheFiles) {
  struct Case {
    const char* what;
    std::function<void(Profile&)> adjust;
    RunOutcome outcome;
    long long written, failed;
  };
  const Case cases[] = {
      {"a local copy", [](Profile&) {}, RunOutcome::Completed, 2, 0},
      {"one file that cannot be read",
       [this](Profile&) { ASSERT_EQ(::mkfifo((dir / "src/pipe.txt").c_str(), 0600), 0); },
       RunOutcome::CompletedWithFailures, 2, 1},
      {"a destination that cannot be made",
       [this](Profile& p) {
         WriteFile(dir / "in-the-way", "a file where a folder should be");
         p.localDestFolder = (dir / "in-the-way/dst").string();
       },
       RunOutcome::Failed, 0, 2},
      {"compressed",
       [this](Profile& p) {
         p.compress = true;
         p.zipFileName = "all.zip";
         p.localDestFolder = (dir / "zipped").string();
       },
       RunOutcome::Completed, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir / "dst");
    Profile p = FolderProfile();
    c.adjust(p);
    const RunReport report = RunToEnd(p);
    fs::remove(dir / "src/pipe.txt");
    EXPECT_EQ(report.outcome, c.outcome);
    EXPECT_EQ(report.filesWritten, c.written);
    EXPECT_EQ(report.filesFailed, c.failed);
    EXPECT_EQ(report.profileName, "docs");
    EXPECT_EQ(report.failureRows > 0, c.failed > 0);
    if (p.compress) {
      const ParsedArchive archive = ParseArchive(ReadFile(dir / "zipped/all.zip"));
      EXPECT_EQ(static_cast<long long>(archive.entryCount), report.filesWritten) << "one entry per file written";
      EXPECT_EQ(report.bytesWritten, 5 + 3000) << "the bytes of the files packed";
    } else {
      const Found found = FilesBelow(dir / "dst");
      EXPECT_EQ(found.files, report.filesWritten) << "every file written is at the destination";
      EXPECT_EQ(found.bytes, report.bytesWritten);
    }
  }
}

TEST_F(RunReportTest, AStoppedRunCountsTheFileItCutShortAsSkipped) {
  WriteFile(dir / "src/sub/big.bin", std::string(5 * 1024 * 1024, 'x'));  // more than one chunk
  // Stopped inside the big file, after its first chunk (small files end in one).
  observer.onProgress = [this](long long percent) {
    if (percent < 100) controller.Stop();
  };
  const RunReport report = RunToEnd(FolderProfile());
  EXPECT_EQ(report.outcome, RunOutcome::Stopped);
  EXPECT_EQ(report.filesSkipped, 1) << "the copy cut short";
  EXPECT_EQ(FilesBelow(dir / "dst").files, report.filesWritten);
  EXPECT_FALSE(report.DeservesNotice()) << "someone stopped it";
}

TEST_F(RunReportTest, AMissedRunAndALaunchThatCannotHappenEndWithTheirReportRows) {
  const RunReport missed = RunReport::Missed("nightly", 100, 200, "The run was missed.");
  LogRunReport(log, missed);
  const std::optional<RunReport> read = ParseReportRowText(log.Rows().back()[2]);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->outcome, RunOutcome::Missed);
  EXPECT_EQ(read->started, 100);
  EXPECT_EQ(read->ended, 200);
  EXPECT_TRUE(missed.DeservesNotice());
  EXPECT_EQ(ReportSummary(RunReport::CouldNotStart("x", 5, "refused")), "Backup could not start.");
}

TEST(ReportRowTest, TheRowReadsBackAndNothingElseIsTakenForOne) {
  RunReport report;
  report.outcome = RunOutcome::CompletedWithFailures;
  report.filesWritten = 12;
  report.filesSkipped = 1;
  report.filesFailed = 2;
  report.bytesWritten = 5LL << 40;
  report.failureRows = 3;
  report.started = 1709629200;
  report.ended = 1709629262;
  const std::optional<RunReport> read = ParseReportRowText(ReportRowText(report));
  ASSERT_TRUE(read);
  EXPECT_EQ(ReportRowText(*read), ReportRowText(report));
  EXPECT_TRUE(ParseReportRowText(ReportRowText(report) + " a-later-field=x")) << "later fields are passed over";

  for (const char* text : {"", "Backup End.", "outcome=finished", "written=3", "outcome=completed written=-1",
                           "outcome=completed bytes=99999999999999999999999", "outcome=completed written=1x",
                           "outcome=completed started="}) {
    EXPECT_FALSE(ParseReportRowText(text)) << text;
  }
}

TEST(ReportRowTest, AHistoryFromBeforeReportsIsReadFromItsRows) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> rows;  // keyword, description
    std::optional<RunOutcome> outcome;
  };
  const Case cases[] = {
      {"ended", {{"BACKUPEND", "Backup End."}}, RunOutcome::Completed},
      {"ended with an error",
       {{"ERROR", "Backup /a Failed."}, {"BACKUPEND", "Backup End."}},
       RunOutcome::CompletedWithFailures},
      {"stopped", {{"BACKUPSTOPPED", "Backup has been stopped."}}, RunOutcome::Stopped},
      {"cut off", {{"BACKUPFILE", "Backup file /a."}}, std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<LogRow> rows{{"##### TARNWICK #####", " ", " "},
                             {"2024-03-05 09:00:00", "TASKNAME", "********** Task Name:  old **********"}};
    for (const auto& [keyword, text] : c.rows) rows.emplace_back("2024-03-05 09:00:01", keyword, text);
    for (LogRow& row : rows) row.code = CodeForKeyword(row[0], row[1]);
    const std::optional<RunReport> report = ReportOfRows(rows);
    ASSERT_EQ(report.has_value(), c.outcome.has_value()) << c.what;
    if (!report) continue;
    EXPECT_EQ(report->outcome, *c.outcome) << c.what;
    EXPECT_EQ(report->profileName, "old") << c.what;
    EXPECT_FALSE(report->counted) << c.what << ": no counts to show";
  }
}

}  // namespace
}  // namespace tarnwick::test
