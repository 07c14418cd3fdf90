#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/LocalCopy.h"
#include "engine/LocalFolderWalk.h"
#include "engine/LocalSources.h"
#include "engine/PathFilter.h"
#include "support/TempDir.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

TEST(SplitFilterTest, TakesEachListUpToItsBracket) {
  const FilterLists both = SplitFilter("-[~*.*]+[*.doc;*.xls]");
  EXPECT_EQ(both.include, "*.doc;*.xls");
  EXPECT_EQ(both.exclude, "~*.*");
  EXPECT_EQ(SplitFilter("+[*.*]").exclude, "");
  EXPECT_EQ(SplitFilter("+[*.doc").include, "") << "a list without its ] is empty";
  EXPECT_EQ(SplitFilter("").include, "");
}

TEST(SplitFilterTest, MaskListsKeepEmptyPiecesAndHonourOneCharacter) {
  EXPECT_EQ(SplitMaskList("*"), (std::vector<std::string>{"*"}));
  EXPECT_EQ(SplitMaskList("*.txt;b*"), (std::vector<std::string>{"*.txt", "b*"}));
  EXPECT_EQ(SplitMaskList("*.txt;"), (std::vector<std::string>{"*.txt"}));
  EXPECT_EQ(SplitMaskList("a;;b"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitMaskList(" a"), (std::vector<std::string>{" a"})) << "masks are not trimmed";
  EXPECT_TRUE(SplitMaskList("").empty());
}

class CollectTest : public ::testing::Test {
 protected:
  TransferList Collect(const std::string& filter, bool recursive) {
    const auto destination = LocalFolderDestination((dir / "dst").string());
    run.job.localSources = {{(dir / "src").string(), filter, ItemKind::LocalFolder, recursive}};
    return BuildLocalSourceList(run.context, *destination, LocalListKind::Copy);
  }
  std::vector<std::string> Sources(const TransferList& list) const {
    std::vector<std::string> sources;
    const std::string base = (dir / "src").string() + "/";
    for (const auto& e : list) sources.push_back(e.source.substr(base.size()));
    return sources;
  }

  TempDir dir;
  JobRun run;
};

TEST_F(CollectTest, ExcludeMasksRemoveNamesAndTwoIncludeMasksListAFileTwice) {
  for (const char* name : {"a.txt", "ab.txt", "b.txt"}) WriteFile(dir / "src" / name, "x");
  EXPECT_EQ(Sources(Collect("+[*.txt]-[a*.txt]", false)), (std::vector<std::string>{"b.txt"}));
  EXPECT_EQ(Sources(Collect("+[*.txt;b*]", false)), (std::vector<std::string>{"a.txt", "ab.txt", "b.txt", "b.txt"}));
  EXPECT_EQ(Sources(Collect("+[*]", false)).size(), 3u) << "a one-character list is a mask";
}

TEST_F(CollectTest, SubFoldersComeFirstAndTheirTreeIsReproduced) {
  WriteFile(dir / "src/top.txt", "1");
  WriteFile(dir / "src/top.doc", "2");
  WriteFile(dir / "src/s1/in1.doc", "3");
  WriteFile(dir / "src/s1/deep/in2.txt", "4");
  fs::create_directories(dir / "src/s2/empty");
  fs::create_directories(dir / "dst");

  // Without recursion the masks apply to the item's own folder; everything below it is taken.
  TransferList flat = Collect("+[*.txt]", false);
  EXPECT_EQ(Sources(flat), (std::vector<std::string>{"s1/deep/in2.txt", "s1/in1.doc", "top.txt"}));
  EXPECT_EQ(flat[1].target, (dir / "dst/src/s1/in1.doc").string());
  EXPECT_TRUE(fs::is_directory(dir / "dst/src/s1/deep"));
  EXPECT_TRUE(fs::is_directory(dir / "dst/src/s2/empty")) << "empty folders are reproduced";

  EXPECT_EQ(Sources(Collect("+[*.txt]", true)), (std::vector<std::string>{"s1/deep/in2.txt", "top.txt"}));
}

TEST_F(CollectTest, ALinkBackToAnAncestorDoesNotLoop) {
  WriteFile(dir / "src/f.txt", "x");
  fs::create_directories(dir / "src/sub");
  fs::create_directory_symlink(dir / "src", dir / "src/sub/back");
  fs::create_directories(dir / "dst");
  EXPECT_EQ(Sources(Collect("+[*.*]", true)), (std::vector<std::string>{"f.txt"}));
}

TEST_F(CollectTest, ADestinationInsideTheSourceIsNotCopiedIntoItself) {
  WriteFile(dir / "src/f.txt", "x");
  fs::create_directories(dir / "src/backup/src");
  const auto destination = LocalFolderDestination((dir / "src/backup/src").string());
  run.job.localSources = {{(dir / "src").string(), "+[*.*]", ItemKind::LocalFolder, true}};
  EXPECT_EQ(Sources(BuildLocalSourceList(run.context, *destination, LocalListKind::Copy)),
            (std::vector<std::string>{"f.txt"}));
  EXPECT_FALSE(fs::exists(dir / "src/backup/src/backup/src/backup"));
}

TEST_F(CollectTest, TheWalkHandsOutEachFileBeforeItReadsTheNextFolder) {
  // A file made in a later folder while the first file is handled is found: nothing of the tree
  // was listed ahead of the visitor.
  WriteFile(dir / "src/a/1.txt", "1");
  WriteFile(dir / "src/b/2.txt", "2");
  const auto destination = LocalFolderDestination((dir / "dst").string());
  run.job.localSources = {{(dir / "src").string(), "+[*.*]", ItemKind::LocalFolder, true}};
  TransferList seen;
  EXPECT_TRUE(ForEachLocalSource(run.context, *destination, LocalListKind::Copy, [&](TransferEntry&& entry) {
    if (seen.empty()) WriteFile(dir / "src/b/0-late.txt", "late");
    seen.push_back(std::move(entry));
    return true;
  }));
  EXPECT_EQ(Sources(seen), (std::vector<std::string>{"a/1.txt", "b/0-late.txt", "b/2.txt"}));
  EXPECT_EQ(seen[1].target, (dir / "dst/src/b/0-late.txt").string());
}

TEST_F(CollectTest, AVisitorOrAStopEndsTheWalkAtOnce) {
  for (const char* name : {"a/1.txt", "a/2.txt", "b/3.txt"}) WriteFile(dir / "src" / name, "x");
  const auto destination = LocalFolderDestination((dir / "dst").string());
  run.job.localSources = {{(dir / "src").string(), "+[*.*]", ItemKind::LocalFolder, true},
                          {(dir / "src/b/3.txt").string(), "", ItemKind::LocalFile, false}};
  int visits = 0;
  EXPECT_FALSE(ForEachLocalSource(run.context, *destination, LocalListKind::Copy, [&](TransferEntry&&) {
    ++visits;
    return false;
  }));
  EXPECT_EQ(visits, 1);
  // A stop while only folders are walked ends it before the next folder is read.
  FolderTargets targets;
  targets.join = JoinPath;
  std::vector<std::string> made;
  targets.createFolder = [&made](const std::string& folder) { made.push_back(folder); };
  targets.stopRequested = [&made] { return !made.empty(); };
  visits = 0;
  EXPECT_FALSE(
      WalkLocalFolder((dir / "src").string(), SplitFilter("+[*.none]"), true, "out", targets, [&](TransferEntry&&) {
        ++visits;
        return true;
      }));
  EXPECT_EQ(made, (std::vector<std::string>{"out/a"}));
  EXPECT_EQ(visits, 0);
}

TEST(CreateLocalFolderChainTest, MakesEveryMissingLevel) {
  TempDir dir;
  EXPECT_FALSE(CreateLocalFolderChain(""));
  EXPECT_TRUE(CreateLocalFolderChain((dir / "a/b/c").string()));
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
  EXPECT_TRUE(CreateLocalFolderChain((dir / "a/b/d/").string()));
  EXPECT_TRUE(fs::is_directory(dir / "a/b/d"));
}

class CopyLocalFileTest : public ::testing::Test {
 protected:
  bool Copy(const fs::path& source) { return CopyLocalFile(run.context, source.string(), target.string()); }

  TempDir dir;
  JobRun run;
  fs::path target = dir / "dst/copy.bin";
};

TEST_F(CopyLocalFileTest, FiveMebibytesGoInThreeChunksWithTheirFigures) {
  std::string data(5 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 4096);
  const fs::path source = dir / "big.bin";
  WriteFile(source, data);
  ::chmod(source.c_str(), 0640);
  const auto modified = fs::last_write_time(source) - std::chrono::hours(50);
  fs::last_write_time(source, modified);
  WriteFile(target, "older copy");

  ASSERT_TRUE(Copy(source));
  EXPECT_EQ(ReadFile(target), data);
  const std::string s = source.string();
  EXPECT_EQ(run.observer.Texts(),
            (std::vector<std::string>{"Backing up " + s + " | 2048 KB", "Backing up " + s + " | 4096 KB",
                                      "Backing up " + s + " | 5120 KB"}));
  EXPECT_EQ(run.observer.Positions(), (std::vector<long long>{40, 80, 100}));
  EXPECT_EQ(run.observer.Ranges(), (std::vector<long long>{100, 100, 100}));
  EXPECT_EQ(fs::last_write_time(target), modified);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0040u & ~static_cast<unsigned>(::umask(::umask(0)))) << "no wider than the source";
  EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
}

TEST_F(CopyLocalFileTest, AnEmptyFileGivesAnEmptyCopyWithoutStatus) {
  WriteFile(dir / "empty", "");
  fs::create_directories(dir / "dst");
  ASSERT_TRUE(Copy(dir / "empty"));
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(fs::file_size(target), 0u);
  EXPECT_TRUE(run.observer.Texts().empty());
  EXPECT_TRUE(run.observer.Positions().empty());
}

TEST_F(CopyLocalFileTest, AStopMidFileKeepsTheOlderCopyAndLeavesNoPart) {
  WriteFile(dir / "big.bin", std::string(5 * 1024 * 1024, 'n'));
  WriteFile(target, "older copy");
  run.observer.onProgress = [this](long long) { run.stop = true; };
  EXPECT_TRUE(Copy(dir / "big.bin")) << "a stop is not a failure";
  EXPECT_EQ(run.observer.Positions(), (std::vector<long long>{40}));
  EXPECT_EQ(ReadFile(target), "older copy");
  EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
}

TEST_F(CopyLocalFileTest, AStopAfterTheLastChunkKeepsTheCompleteCopy) {
  // Exactly one chunk: the stop comes when every byte is written and only the end is left to see.
  const std::string data(2 * 1024 * 1024, 'c');
  WriteFile(dir / "two.bin", data);
  WriteFile(target, "older copy");
  run.observer.onProgress = [this](long long) { run.stop = true; };
  EXPECT_TRUE(Copy(dir / "two.bin"));
  EXPECT_EQ(run.observer.Positions(), (std::vector<long long>{100}));
  EXPECT_EQ(ReadFile(target), data);
  EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
}

TEST_F(CopyLocalFileTest, OpenErrorsFailWithoutTouchingTheTarget) {
  WriteFile(target, "older copy");
  fs::create_directories(dir / "folder");
  EXPECT_FALSE(Copy(dir / "missing"));
  EXPECT_FALSE(Copy(dir / "folder")) << "a folder in place of a file";
  EXPECT_FALSE(CopyLocalFile(run.context, (dir / "folder").string(), (dir / "no/such/folder/x").string()));
  EXPECT_EQ(ReadFile(target), "older copy");
  EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
}

TEST_F(CopyLocalFileTest, AReadErrorFailsAndLeavesNoPart) {
  // Reading this process's memory file at offset 0 fails with an I/O error, also for root.
  WriteFile(target, "older copy");
  EXPECT_FALSE(Copy("/proc/self/mem"));
  EXPECT_EQ(ReadFile(target), "older copy");
  EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
}

TEST_F(CopyLocalFileTest, PseudoFilesThatClaimNoSizeAreCopiedByReading) {
  fs::create_directories(dir / "dst");
  ASSERT_TRUE(Copy("/proc/self/status"));
  EXPECT_NE(ReadFile(target).find("Name:"), std::string::npos);
  EXPECT_EQ(run.observer.Positions(), (std::vector<long long>{100}));
}

// Byte for byte, read in blocks like cmp: a copy that wrote its holes would still compare equal,
// so the tests check the blocks taken as well.
bool SameContent(const fs::path& a, const fs::path& b) {
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  std::vector<char> x(1 << 20);
  std::vector<char> y(1 << 20);
  while (first && second) {
    first.read(x.data(), static_cast<std::streamsize>(x.size()));
    second.read(y.data(), static_cast<std::streamsize>(y.size()));
    if (first.gcount() != second.gcount() || !std::equal(x.begin(), x.begin() + first.gcount(), y.begin()))
      return false;
  }
  return first.eof() && second.eof();
}

long long BytesOnDisk(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_blocks * 512LL : -1;
}

// Writes `data` at each offset of `pieces` into a file of `size` bytes; the rest is hole.
void WriteSparse(const fs::path& path, long long size, const std::vector<std::pair<long long, std::string>>& pieces) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  for (const auto& [offset, data] : pieces) {
    ASSERT_EQ(::pwrite(fd, data.data(), data.size(), offset), static_cast<ssize_t>(data.size()));
  }
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ::close(fd);
}

TEST_F(CopyLocalFileTest, HolesAreCopiedAsHolesNotWrittenOut) {
  constexpr long long kHole = 256LL << 20;  // reading it back is what takes the time
  const std::string head(100000, 'h');
  const std::string tail(3 * 1024 * 1024 + 5, 't');  // more than one chunk of data after the hole
  struct Case {
    const char* name;
    long long size;
    std::vector<std::pair<long long, std::string>> pieces;
  };
  const std::vector<Case> cases{
      {"a big hole between data at both ends",
       kHole + static_cast<long long>(head.size() + tail.size()),
       {{0, head}, {static_cast<long long>(head.size()) + kHole, tail}}},
      {"nothing but a hole", 16LL << 20, {}},
      {"a hole at the end", 16LL << 20, {{0, head}}},
      {"a hole at the start", (16LL << 20) + 4096, {{16LL << 20, head.substr(0, 4096)}}},
      {"no hole", static_cast<long long>(tail.size()), {{0, tail}}},
  };
  fs::create_directories(dir / "dst");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path source = dir / "sparse.bin";
    WriteSparse(source, c.size, c.pieces);
    ASSERT_TRUE(Copy(source));
    EXPECT_EQ(static_cast<long long>(fs::file_size(target)), c.size);
    EXPECT_TRUE(SameContent(source, target));
    // The copy takes what the source takes, give or take a few file-system blocks at run edges.
    EXPECT_LE(BytesOnDisk(target), BytesOnDisk(source) + (64LL << 10));
    EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
  }
}

TEST_F(CopyLocalFileTest, AStopBeforeATrailingHoleKeepsTheOlderCopy) {
  // The data ends on a chunk boundary; what is left is hole, which a reader still sees as zeros.
  WriteSparse(dir / "sparse.bin", 64LL << 20, {{0, std::string(std::size_t{2} << 20, 'd')}});
  WriteFile(target, "older copy");
  run.observer.onProgress = [this](long long) { run.stop = true; };
  EXPECT_TRUE(Copy(dir / "sparse.bin"));
  EXPECT_EQ(ReadFile(target), "older copy");
  EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
}

TEST_F(CopyLocalFileTest, AWriteErrorFailsKeepsTheOlderCopyAndLeavesNoPart) {
  WriteFile(dir / "big.bin", std::string(3 * 1024 * 1024, 'w'));
  WriteFile(target, "older copy");
  // A file-size limit makes the write fail part-way, for root too.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = old;
  limited.rlim_cur = 1024 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool copied = Copy(dir / "big.bin");
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(copied);
  EXPECT_EQ(ReadFile(target), "older copy");
  EXPECT_EQ(NamesIn(dir / "dst"), (std::vector<std::string>{"copy.bin"}));
}

}  // namespace
}  // namespace tarnwick::test
