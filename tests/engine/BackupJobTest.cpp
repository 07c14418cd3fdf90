// The job record a launch makes of a profile: its final folders, archive path and level.
#include <climits>

#include <gtest/gtest.h>

#include "engine/BackupJob.h"
#include "profiles/ProfileTestSupport.h"

namespace tarnwick {
namespace {

using test::SampleQuickProfile;
using test::TestNow;

class MakeJobTest : public ::testing::Test {
 protected:
  Profile Local(const std::string& folder, bool dateFolder) {
    Profile p = SampleQuickProfile();
    p.destIsLocal = true;
    p.localDestFolder = folder;
    p.useDateFolder = dateFolder;
    p.compress = false;
    return p;
  }
};

TEST_F(MakeJobTest, LocalDestinationGetsTheDateFolderOnce) {
  BackupJob job;
  Profile p = Local("/backup/", true);
  MakeJobResult made = MakeJob(p, job, TestNow());
  ASSERT_TRUE(made.status.ok());
  EXPECT_EQ(made.kind, JobKind::Copy);
  EXPECT_EQ(job.localDestFolder, "/backup/2024-03-05");
  EXPECT_EQ(DestinationText(p, TestNow()), "/backup/2024-03-05");
  EXPECT_EQ(job.localSources, p.localSources);
  EXPECT_EQ(job.remoteSources, p.remoteSources);

  p = Local("/backup/", false);
  p.anonymousLogin = true;
  ASSERT_TRUE(MakeJob(p, job, TestNow()).status.ok());
  EXPECT_EQ(job.localDestFolder, "/backup") << "one trailing separator goes";
  EXPECT_TRUE(job.anonymousLogin);
  EXPECT_EQ(job.zipPath, "");
}

TEST_F(MakeJobTest, ArchivePathsForLocalAndFtpDestinations) {
  BackupJob job;
  Profile p = Local("/backup/", false);
  p.compress = true;
  p.zipFileName = "all.zip";
  p.zipLevel = 9;
  MakeJobResult made = MakeJob(p, job, TestNow());
  ASSERT_TRUE(made.status.ok());
  EXPECT_EQ(made.kind, JobKind::Zip);
  EXPECT_EQ(job.zipPath, "/backup/all.zip");
  EXPECT_EQ(job.zipLevel, 9);

  p = SampleQuickProfile();  // FTP destination "/store" on backup.example.org, date folder on
  ASSERT_TRUE(MakeJob(p, job, TestNow()).status.ok());
  EXPECT_EQ(job.ftpDest.remotePath, "/store/2024-03-05");
  EXPECT_EQ(job.zipPath, "backup.example.org/store/2024-03-05/docs.zip");
  EXPECT_FALSE(job.destIsLocal);

  // One trailing "/" of the remote folder goes; the archive path does not double it.
  p.ftpDest.remotePath = "/store/";
  p.useDateFolder = false;
  ASSERT_TRUE(MakeJob(p, job, TestNow()).status.ok());
  EXPECT_EQ(job.ftpDest.remotePath, "/store");
  EXPECT_EQ(job.zipPath, "backup.example.org/store/docs.zip");
  p.useDateFolder = true;
  ASSERT_TRUE(MakeJob(p, job, TestNow()).status.ok());
  EXPECT_EQ(job.ftpDest.remotePath, "/store/2024-03-05");

  p.ftpDest.remotePath = "";
  p.useDateFolder = false;
  EXPECT_EQ(DestinationText(p, TestNow()), "backup.example.org");
  p.ftpDest.remotePath = "in";
  EXPECT_EQ(DestinationText(p, TestNow()), "backup.example.org/in");
}

TEST_F(MakeJobTest, RefusesPathsOverTheSystemLimitWithoutTouchingTheJob) {
  BackupJob job;
  job.localDestFolder = "previous";
  Profile p = Local("/" + std::string(PATH_MAX - 12, 'd'), true);
  MakeJobResult made = MakeJob(p, job, TestNow());
  EXPECT_EQ(made.status.code(), StatusCode::InvalidArgument);
  EXPECT_EQ(made.status.ToString(), "The backup cannot start: its destination folder has " + std::to_string(PATH_MAX) +
                                        " bytes, more than the " + std::to_string(PATH_MAX - 1) +
                                        " the system allows.");
  EXPECT_EQ(job.localDestFolder, "previous");

  p = Local("/" + std::string(PATH_MAX - 20, 'd'), false);
  ASSERT_TRUE(MakeJob(p, job, TestNow()).status.ok()) << "a folder that fits is taken whole";
  EXPECT_EQ(job.localDestFolder.size(), PATH_MAX - 19u);
  p.compress = true;
  p.zipFileName = "a-much-longer-archive-name.zip";
  made = MakeJob(p, job, TestNow());
  EXPECT_FALSE(made.status.ok());
  EXPECT_NE(made.status.message().find("the path of its archive has"), std::string::npos);

  // A local source the system cannot open by its path refuses the job as well, named by its start.
  job.localDestFolder = "previous";
  p = Local("/backup", false);
  const std::string longSource = "/home/\x1b" + std::string(PATH_MAX, 's');
  p.localSources.push_back({longSource, "", ItemKind::LocalFile, false});
  made = MakeJob(p, job, TestNow());
  EXPECT_EQ(made.status.code(), StatusCode::InvalidArgument);
  EXPECT_EQ(made.status.ToString(), "The backup cannot start: the source \"/home/\\x1B" + std::string(57, 's') +
                                        "...\" has " + std::to_string(longSource.size()) + " bytes, more than the " +
                                        std::to_string(PATH_MAX - 1) + " the system allows.");
  EXPECT_EQ(job.localDestFolder, "previous");
  p.localSources.back().path.resize(PATH_MAX - 1);
  EXPECT_TRUE(MakeJob(p, job, TestNow()).status.ok()) << "a path that fits is taken";
}

TEST_F(MakeJobTest, ALevelNoPackerKnowsPacksAsNormal) {
  BackupJob job;
  Profile p = Local("/backup", false);
  p.compress = true;
  p.zipFileName = "a.zip";
  for (const auto& [stored, packed] : {std::pair{0, 0}, {9, 9}, {4, 4}, {12, 5}, {-3, 5}, {INT32_MAX, 5}}) {
    p.zipLevel = stored;
    ASSERT_TRUE(MakeJob(p, job, TestNow()).status.ok());
    EXPECT_EQ(job.zipLevel, packed) << stored;
    EXPECT_EQ(p.zipLevel, stored) << "the profile keeps what it stores";
  }
}

}  // namespace
}  // namespace tarnwick
