// Jobs that could harm themselves or lie about their result: an archive inside its own source, special
// files, unreadable or missing folders, a destination that is its own source, targets outside the
// destination.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/CompressedBackup.h"
#include "engine/CopyJob.h"
#include "engine/PathFilter.h"
#include "formats/PartFile.h"
#include "support/TempDir.h"
#include "zip/ZipTestSupport.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

class SelfHarmTest : public ::testing::Test {
 protected:
  void AddFolder(const fs::path& folder) {
    run.job.localSources.push_back({folder.string(), "+[*.*]", ItemKind::LocalFolder, true});
  }
  std::size_t CountRows(const std::string& start) const { return run.CountRows(start); }
  std::vector<std::string> EntryNames(const fs::path& archive) const {
    std::vector<std::string> names;
    for (const auto& entry : ParseArchive(ReadFile(archive)).entries) names.push_back(entry.name);
    return names;
  }

  TempDir dir;
  JobRun run;
};

TEST_F(SelfHarmTest, AnArchiveInsideItsSourcePacksNeitherItselfNorEarlierDays) {
  WriteFile(dir / "data/a.txt", "A");
  WriteFile(dir / "data/backups/2024-03-04/nightly.zip", "yesterday's archive");
  AddFolder(dir / "data");
  run.job.useDateFolder = true;
  run.job.localDestFolder = (dir / "data/backups/2024-03-05").string();
  run.job.zipPath = (dir / "data/backups/2024-03-05/nightly.zip").string();
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(EntryNames(dir / "data/backups/2024-03-05/nightly.zip"), (std::vector<std::string>{"data/a.txt"}));
  // A second run finds today's archive in place and still packs only the data.
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(EntryNames(dir / "data/backups/2024-03-05/nightly.zip"), (std::vector<std::string>{"data/a.txt"}));
  EXPECT_EQ(CountRows("ERROR"), 0u);
}

TEST_F(SelfHarmTest, SpecialFilesInAZippedSourceAreFailedFilesNotAHangOrAFullDisk) {
  WriteFile(dir / "src/a.txt", "A");
  ASSERT_EQ(::mkfifo((dir / "src/pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "src/zero");
  AddFolder(dir / "src");
  run.job.localDestFolder = (dir / "dst").string();
  run.job.zipPath = (dir / "dst/b.zip").string();
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(EntryNames(dir / "dst/b.zip"), (std::vector<std::string>{"src/a.txt"}));
  const auto rows = run.Rows();
  for (const char* name : {"pipe", "zero"}) {
    const std::string failed = "ERROR Backup " + (dir / "src" / name).string() + " Failed.";
    EXPECT_NE(std::find(rows.begin(), rows.end(), failed), rows.end()) << failed;
  }
}

TEST_F(SelfHarmTest, MissingOrUnreadableSourceFoldersAreErrorRows) {
  AddFolder(dir / "missing");
  run.job.localDestFolder = (dir / "dst").string();
  for (const bool zip : {false, true}) {
    run.log.Clear();
    run.job.zipPath = zip ? (dir / "dst/b.zip").string() : std::string();
    zip ? RunZipJob(run.context) : RunCopyJob(run.context);
    EXPECT_EQ(CountRows("ERROR Cannot read folder " + (dir / "missing").string() + ": No such file"), 1u)
        << (zip ? "zip" : "copy");
    EXPECT_EQ(CountRows("BACKUPEND"), 1u);
  }
}

TEST_F(SelfHarmTest, ADestinationThatIsItsSourceIsRefusedBeforeTheFirstFile) {
  WriteFile(dir / "x/a.txt", "A");
  AddFolder(dir / "x");
  for (const fs::path& destination : {dir / "x", dir.path()}) {  // the folder itself, or where its copy would go
    run.log.Clear();
    run.job.localDestFolder = destination.string();
    EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
    EXPECT_EQ(CountRows("ERROR The destination folder is the source folder"), 1u) << destination;
    EXPECT_EQ(CountRows("BACKUPFILE"), 0u);
    EXPECT_FALSE(fs::exists(dir / "x/x")) << "the source is left untouched";
  }
  run.log.Clear();
  run.job.localDestFolder = (dir / "x").string();
  run.job.zipPath = (dir / "x/b.zip").string();
  RunZipJob(run.context);
  EXPECT_EQ(CountRows("ERROR The destination folder is the source folder"), 1u);
}

// The name a process of this machine that has ended would have given a temporary file in `folder`.
std::string TemporaryOfAnEndedProcess(const fs::path& folder) {
  int pipe[2];
  EXPECT_EQ(::pipe(pipe), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const std::string name = TemporaryNameBeside((folder / "target").string());
    (void)!::write(pipe[1], name.data(), name.size());
    ::_exit(0);  // as a run killed with SIGKILL: nothing tidied up
  }
  ::close(pipe[1]);
  char buffer[4096];
  const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
  ::close(pipe[0]);
  ::waitpid(child, nullptr, 0);
  return std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
}

TEST_F(SelfHarmTest, TemporariesOfKilledRunsGoAtTheNextRunAndNothingElseDoes) {
  WriteFile(dir / "src/a.txt", "A");
  run.job.localSources.push_back({(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false});
  run.job.localDestFolder = (dir / "dst").string();
  const std::string stale = TemporaryOfAnEndedProcess(dir / "dst");
  fs::create_directories(dir / "dst");
  WriteFile(stale, "half a copy");
  // A live process of this machine (our parent), another machine, and a file that is not ours.
  const std::string live = (dir / "dst").string() + "/" +
                           fs::path(TemporaryNameBeside("x"))
                               .filename()
                               .string()
                               .replace(10, std::to_string(::getpid()).size(), std::to_string(::getppid()));
  for (const std::string& keep :
       {live, (dir / "dst/.tarnwick-1-00000000-0.part").string(), (dir / "dst/notes.part").string()}) {
    WriteFile(keep, "keep");
  }
  EXPECT_TRUE(IsStaleTemporaryName(fs::path(stale).filename().string()));
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::exists(dir / "dst/.tarnwick-1-00000000-0.part"));
  EXPECT_TRUE(fs::exists(dir / "dst/notes.part"));
  EXPECT_EQ(ReadFile(dir / "dst/a.txt"), "A");
}

TEST(LiesUnderTest, OnlyPathsBelowTheRootPass) {
  struct Case {
    const char* root;
    const char* path;
    bool under;
  };
  const Case cases[] = {
      {"/dst", "/dst", true},         {"/dst", "/dst/a/b.txt", true},    {"/dst/", "/dst/a", true},
      {"/dst", "/dst/../x", false},   {"/dst", "/dst/a/../../x", false}, {"/dst", "/dstx/a", false},
      {"/dst", "/other", false},      {"/dst", "/dst/..", false},        {"/", "/etc/x", true},
      {"/dst", "/dst/..a/b..", true}, {"/dst", "/dst/a/./b", true},
  };
  for (const Case& c : cases) EXPECT_EQ(LiesUnder(c.root, c.path), c.under) << c.root << " " << c.path;
}

}  // namespace
}  // namespace tarnwick::test
