#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "support/TempDir.h"
#include "zip/ZipException.h"
#include "zip/ZipMemStream.h"
#include "zip/ZipTestSupport.h"
#include "zip/ZipWriter.h"

namespace tarnwick::test {
namespace {

// Data that deflate treats differently in turns: random bytes, text and zeros.
std::string MixedData(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string data;
  data.reserve(size);
  while (data.size() < size) {
    switch (data.size() / 300000 % 3) {
      case 0:
        for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(random()));
        break;
      case 1: data += "line " + std::to_string(random() % 100000) + " of the quarterly report, nothing new\n"; break;
      default: data.append(1000, '\0');
    }
  }
  data.resize(size);
  return data;
}

// Reads at most `chunk` bytes per call and does not know its length, like a network source; it can
// be told to fail after `failAfter` bytes.
class TrickleStream : public CZipInputStream {
 public:
  TrickleStream(std::string data, std::size_t chunk, std::size_t failAfter = SIZE_MAX)
      : data_(std::move(data)), chunk_(chunk), failAfter_(failAfter) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    if (position_ >= failAfter_) throw CZipException(CZipException::hardIO, "remote", EIO);
    const std::size_t count = std::min({size, chunk_, data_.size() - position_});
    std::memcpy(buffer, data_.data() + position_, count);
    position_ += count;
    return count;
  }

 private:
  std::string data_;
  std::size_t chunk_;
  std::size_t failAfter_;
  std::size_t position_ = 0;
};

class ZipWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    if (tz != nullptr) savedTz_ = tz;
    hadTz_ = tz != nullptr;
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_) {
      setenv("TZ", savedTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::filesystem::path Source(const std::string& name, const std::string& bytes) {
    auto path = dir_ / ("src/" + name);
    WriteFile(path, bytes);
    return path;
  }
  ParsedArchive Parse(const std::filesystem::path& archive) { return ParseArchive(ReadFile(archive)); }

  TempDir dir_;
  std::string savedTz_;
  bool hadTz_ = false;
};

TEST_F(ZipWriterTest, AnArchiveWithoutEntriesIsTheEndRecordAlone) {
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "empty.zip").string());
  writer.Close();
  writer.Close();  // a closed archive closes again without effect
  const std::string expected("PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22);
  EXPECT_EQ(ReadFile(dir_ / "empty.zip"), expected);
  EXPECT_FALSE(writer.AddFileFromPath((dir_ / "empty.zip").string(), "late", 5));
}

TEST_F(ZipWriterTest, HeadersFollowLevelSizeAttributesAndTime) {
  struct Case {
    std::string name;
    std::string bytes;
    int level;
    std::uint16_t method;
    std::uint16_t flags;
  };
  const std::string text = MixedData(200000, 1);
  const std::vector<Case> cases = {
      {"empty", "", 9, 0, 0},     {"four", "abcd", 9, 0, 0}, {"five", "abcde", 9, 8, 2},
      {"fastest", text, 1, 8, 6}, {"fast", text, 3, 8, 0},   {"normal", text, 5, 8, 0},
      {"good", text, 7, 8, 0},    {"best", text, 9, 8, 2},   {"store", text, 0, 0, 0},
  };
  // 2024-03-05 13:45:58 UTC: DOS seconds are halved.
  const struct timeval times[2] = {{1709646358, 0}, {1709646358, 0}};
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "a.zip").string());
  std::map<std::string, std::string> expected;
  for (const auto& c : cases) {
    const auto path = Source(c.name, c.bytes);
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
    ASSERT_TRUE(writer.AddFileFromPath(path.string(), c.name, c.level)) << c.name;
    expected[c.name] = c.bytes;
  }
  const auto readOnly = Source("readonly", "locked");
  ::chmod(readOnly.c_str(), 0444);
  ASSERT_TRUE(writer.AddFileFromPath(readOnly.string(), "readonly", 5));
  expected["readonly"] = "locked";
  writer.Close();

  const ParsedArchive archive = Parse(dir_ / "a.zip");
  ASSERT_EQ(archive.entries.size(), cases.size() + 1);
  EXPECT_FALSE(archive.zip64);
  std::uint64_t nextOffset = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const ParsedEntry& e = archive.entries[i];
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(e.name, cases[i].name);
    EXPECT_EQ(e.method, cases[i].method);
    EXPECT_EQ(e.flags, cases[i].flags);
    EXPECT_EQ(e.versionMadeBy, 0x0014);
    EXPECT_EQ(e.versionNeeded, 20);
    EXPECT_EQ(e.externalAttributes, 0x81B40020u);
    EXPECT_EQ(e.dosDate, (2024 - 1980) * 512 + 3 * 32 + 5);
    EXPECT_EQ(e.dosTime, 13 * 2048 + 45 * 32 + 29);
    EXPECT_EQ(e.uncompressedSize, cases[i].bytes.size());
    EXPECT_TRUE(e.centralExtra.empty());
    // The local header was patched to agree with the central one; entries follow one another.
    EXPECT_EQ(e.offset, nextOffset);
    EXPECT_EQ(e.localVersionNeeded, 20);
    EXPECT_EQ(e.localFlags, e.flags);
    EXPECT_EQ(e.localMethod, e.method);
    EXPECT_EQ(e.localTime, e.dosTime);
    EXPECT_EQ(e.localDate, e.dosDate);
    EXPECT_EQ(e.localCrc, e.crc);
    EXPECT_EQ(e.localCompressedSize, e.compressedSize);
    EXPECT_EQ(e.localUncompressedSize, e.uncompressedSize);
    EXPECT_TRUE(e.localExtra.empty());
    nextOffset = e.offset + 30 + e.name.size() + e.compressedSize;
  }
  EXPECT_EQ(archive.entries[0].crc, 0u);
  EXPECT_EQ(archive.entries[0].compressedSize, 0u);
  EXPECT_EQ(archive.entries.back().externalAttributes, 0x81240021u);
  EXPECT_EQ(archive.directoryOffset, archive.entries.back().offset + 30 + 8 + archive.entries.back().compressedSize);
  // Higher levels do not make this data larger.
  EXPECT_GE(archive.entries[3].compressedSize, archive.entries[7].compressedSize);
  ExpectReadersAccept(dir_ / "a.zip", expected);
}

// Names from outside (a server's listing, a crafted local file name) must never lead a reader out
// of its extraction folder; "\\" is a separator for readers on other systems.
TEST_F(ZipWriterTest, UnsafeNamesAreRefusedAndABackslashStaysACharacter) {
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "names.zip").string());
  const auto file = Source("x", "some content");
  for (const char* name :
       {"", "/etc/passwd", "\\x", "pub/../../escape.txt", "..", "a/..", "..\\..\\x", "a\\..\\b", "../x"}) {
    EXPECT_FALSE(writer.AddFileFromPath(file.string(), name, 5)) << name;
    CZipMemStream stream;
    EXPECT_FALSE(writer.AddFileFromStream(stream, name, 5)) << name;
  }
  for (const char* name : {"a\\b.txt", "..a/b..", "x/.../y", "./z"}) {
    EXPECT_TRUE(writer.AddFileFromPath(file.string(), name, 5)) << name;
  }
  // An archive never takes itself in.
  EXPECT_FALSE(writer.AddFileFromPath((dir_ / "names.zip").string(), "self.zip", 5));
  writer.Close();
  const ParsedArchive archive = Parse(dir_ / "names.zip");
  ASSERT_EQ(archive.entries.size(), 4u);
  EXPECT_EQ(archive.entries[0].name, "a\\b.txt") << "the user's name is stored, no folder is invented";
}

TEST_F(ZipWriterTest, NamesKeepTheirFoldersAndCharacters) {
  struct Case {
    const char* given;
    std::string stored;  // the bytes of the entry name
    bool utf8;           // general-purpose bit 11, in the central and the local header
    const char* read;    // the name readers give it back as
  };
  const Case cases[] = {
      {"docs/sub/report.txt", "docs/sub/report.txt", false, "docs/sub/report.txt"},
      // Every character maps to CP437: stored in it, no UTF-8 flag.
      {"Übersicht café.txt",
       "\x9A"
       "bersicht caf\x82.txt",
       false, "Übersicht café.txt"},
      {"日本/データ.txt", "日本/データ.txt", true, "日本/データ.txt"},
  };
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "names.zip").string());
  const auto file = Source("x", "some content");
  std::map<std::string, std::string> expected;
  for (const Case& c : cases) {
    ASSERT_TRUE(writer.AddFileFromPath(file.string(), c.given, 5)) << c.given;
    expected[c.read] = "some content";
  }
  writer.Close();

  const ParsedArchive archive = Parse(dir_ / "names.zip");
  ASSERT_EQ(archive.entries.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].given);
    EXPECT_EQ(archive.entries[i].name, cases[i].stored);
    EXPECT_EQ(archive.entries[i].flags & 0x0800, cases[i].utf8 ? 0x0800 : 0);
    EXPECT_EQ(archive.entries[i].localFlags & 0x0800, cases[i].utf8 ? 0x0800 : 0);
  }
  ExpectReadersAccept(dir_ / "names.zip", expected);
  // unzip extracts the names as written, too.
  auto unzip = RunTool("unzip -q -d " + Quote((dir_ / "out").string()) + " " + Quote((dir_ / "names.zip").string()));
  EXPECT_EQ(unzip.status, 0) << unzip.output;
  for (const Case& c : cases) EXPECT_TRUE(std::filesystem::exists(dir_ / "out" / c.read)) << c.read;
}

TEST_F(ZipWriterTest, LargeEntriesJoinTheirBlocksIntoOneStream) {
  const std::string data = MixedData(5'500'000, 2);
  const auto source = Source("big", data);
  std::map<std::string, std::string> expected;
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "big.zip").string());
  for (int level : {0, 1, 5, 9}) {
    const std::string name = "big" + std::to_string(level);
    ASSERT_TRUE(writer.AddFileFromPath(source.string(), name, level));
    expected[name] = data;
  }
  // Noise goes out as stored deflate blocks, barely larger than itself.
  std::string noise(3'000'000, '\0');
  std::mt19937 random(9);
  for (auto& c : noise) c = static_cast<char>(random());
  ASSERT_TRUE(writer.AddFileFromPath(Source("noise", noise).string(), "noise", 9));
  expected["noise"] = noise;
  // A source that trickles in small reads of unknown total length.
  TrickleStream trickle(data, 1000);
  ASSERT_TRUE(writer.AddFileFromStream(trickle, "trickle", 5));
  expected["trickle"] = data;
  writer.Close();
  const ParsedArchive archive = Parse(dir_ / "big.zip");
  EXPECT_EQ(archive.entries[0].compressedSize, data.size());
  EXPECT_EQ(archive.entries[4].method, 8);
  EXPECT_LT(archive.entries[4].compressedSize, noise.size() + noise.size() / 1000);
  EXPECT_EQ(archive.entries[5].externalAttributes, 0x81B40020u);
  // One thread or several: the same bytes.
  CZipWriter single(0);
  single.OpenOnFile((dir_ / "single.zip").string());
  for (int level : {0, 1, 5, 9}) single.AddFileFromPath(source.string(), "big" + std::to_string(level), level);
  single.Close();
  const ParsedArchive singleArchive = Parse(dir_ / "single.zip");
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(singleArchive.entries[i].compressedSize, archive.entries[i].compressedSize);
  ExpectReadersAccept(dir_ / "big.zip", expected);
}

TEST_F(ZipWriterTest, FlushLeavesACompleteArchiveAndMoreEntriesFollow) {
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "f.zip").string());
  ASSERT_TRUE(writer.AddFileFromPath(Source("one", MixedData(70000, 3)).string(), "one", 5));
  writer.Flush();
  std::filesystem::copy_file(dir_ / "f.zip", dir_ / "snapshot.zip");
  ExpectReadersAccept(dir_ / "snapshot.zip", {{"one", MixedData(70000, 3)}});

  // A source failing part way leaves nothing of itself, even after earlier blocks went out.
  const std::string big = MixedData(4'000'000, 4);
  TrickleStream failing(big, 65536, 3'500'000);
  EXPECT_FALSE(writer.AddFileFromStream(failing, "broken", 5));
  EXPECT_FALSE(writer.AddFileFromPath((dir_ / "missing").string(), "missing", 5));
  EXPECT_FALSE(writer.AddFileFromPath(dir_.path().string(), "a folder", 5));
  ASSERT_TRUE(writer.AddFileFromPath(Source("two", "second").string(), "two", 5));
  writer.Close();
  ExpectReadersAccept(dir_ / "f.zip", {{"one", MixedData(70000, 3)}, {"two", "second"}});
  EXPECT_EQ(Parse(dir_ / "f.zip").entries.size(), 2u);
}

TEST_F(ZipWriterTest, AnExistingFileIsReplacedWhateverItsLength) {
  const auto source = Source("one", MixedData(70000, 6));
  CZipWriter fresh;
  fresh.OpenOnFile((dir_ / "fresh.zip").string());
  ASSERT_TRUE(fresh.AddFileFromPath(source.string(), "one", 5));
  fresh.Close();
  // Longer than the archive, so anything left of it would show after the end record.
  WriteFile(dir_ / "old.zip", MixedData(500000, 7));
  CZipWriter over;
  over.OpenOnFile((dir_ / "old.zip").string());
  ASSERT_TRUE(over.AddFileFromPath(source.string(), "one", 5));
  over.Close();
  EXPECT_EQ(ReadFile(dir_ / "old.zip"), ReadFile(dir_ / "fresh.zip"));
}

TEST_F(ZipWriterTest, TheLastSourceSizeIsWhatTheAddOpened) {
  // Adds in this order, each followed by what it added and the size it reports.
  struct Step {
    std::string source;
    const char* name;
    bool added;
    long long size;
  };
  const std::string one = Source("one", MixedData(70001, 8)).string();
  const Step steps[] = {
      {one, "one", true, 70001},
      {(dir_ / "missing").string(), "missing", false, -1},
      {Source("empty", "").string(), "empty", true, 0},
      {dir_.path().string(), "a folder", false, -1},
  };
  CZipWriter writer;
  EXPECT_FALSE(writer.AddFileFromPath(one, "closed", 5));
  EXPECT_EQ(writer.LastSourceSize(), -1) << "not open: nothing was opened";
  writer.OpenOnFile((dir_ / "s.zip").string());
  for (const Step& step : steps) {
    EXPECT_EQ(writer.AddFileFromPath(step.source, step.name, 5), step.added) << step.name;
    EXPECT_EQ(writer.LastSourceSize(), step.size) << step.name;
  }
  writer.Close();
}

TEST_F(ZipWriterTest, ArchivesGoToAnyStream) {
  CZipMemStream archive;
  CZipWriter writer;
  writer.OpenOnStream(archive);
  CZipMemStream entry;
  entry.Write("stream data", 11);
  EXPECT_EQ(entry.Capacity(), 1024u);
  entry.SeekFrom(0, CZipMemStream::begin);
  ASSERT_TRUE(writer.AddFileFromStream(entry, "s.txt", 9));
  writer.Close();
  EXPECT_EQ(archive.Capacity() % 1024, 0u);
  EXPECT_GE(archive.Capacity(), archive.Size());
  EXPECT_LT(archive.Capacity(), archive.Size() + 1024);
  WriteFile(dir_ / "m.zip", std::string(reinterpret_cast<const char*>(archive.Data()), archive.Size()));
  const ParsedArchive parsed = Parse(dir_ / "m.zip");
  ASSERT_EQ(parsed.entries.size(), 1u);
  EXPECT_EQ(parsed.entries[0].externalAttributes, 0x81B40020u);
  EXPECT_EQ(parsed.entries[0].flags, 2);
  ExpectReadersAccept(dir_ / "m.zip", {{"s.txt", "stream data"}});
}

// Enough stream entries to pass the classic count, added quickly from memory.
void AddTinyEntries(CZipWriter& writer, int from, int to) {
  for (int i = from; i < to; ++i) {
    CZipMemStream entry;
    entry.Write("x", 1);
    entry.SeekFrom(0, CZipMemStream::begin);
    ASSERT_TRUE(writer.AddFileFromStream(entry, "e" + std::to_string(i), 5));
  }
}

TEST_F(ZipWriterTest, PastTheClassicEntryCountTheArchiveTurnsZip64) {
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "many.zip").string());
  AddTinyEntries(writer, 0, 65535);
  writer.Flush();
  ParsedArchive classic = Parse(dir_ / "many.zip");
  EXPECT_FALSE(classic.zip64);
  EXPECT_EQ(classic.classicCount, 65535);
  AddTinyEntries(writer, 65535, 65540);
  writer.Close();
  const ParsedArchive archive = Parse(dir_ / "many.zip");
  EXPECT_TRUE(archive.zip64);
  EXPECT_EQ(archive.classicCount, 0xFFFF);
  EXPECT_EQ(archive.entryCount, 65540u);
  std::map<std::string, std::string> expected;
  for (int i = 0; i < 65540; ++i) expected["e" + std::to_string(i)] = "x";
  ExpectReadersAccept(dir_ / "many.zip", expected);
}

TEST_F(ZipWriterTest, AnEntryPastFourGibibytesGetsZip64Sizes) {
  if (std::getenv("TARNWICK_SKIP_SLOW_ZIP_TESTS") != nullptr) GTEST_SKIP() << "TARNWICK_SKIP_SLOW_ZIP_TESTS is set";
  // A sparse file of zeros: quick to read and to deflate at level 1.
  const auto sparse = dir_ / "sparse";
  const std::uint64_t size = (4ull << 30) + 12345;
  {
    WriteFile(sparse, "");
    ASSERT_EQ(::truncate(sparse.c_str(), static_cast<off_t>(size)), 0);
  }
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "huge.zip").string());
  ASSERT_TRUE(writer.AddFileFromPath(Source("before", "first").string(), "before", 5));
  ASSERT_TRUE(writer.AddFileFromPath(sparse.string(), "sparse", 1));
  ASSERT_TRUE(writer.AddFileFromPath(Source("after", "last").string(), "after", 5));
  writer.Close();
  const ParsedArchive archive = Parse(dir_ / "huge.zip");
  ASSERT_EQ(archive.entries.size(), 3u);
  const ParsedEntry& e = archive.entries[1];
  EXPECT_EQ(e.uncompressedSize, size);
  EXPECT_EQ(e.localUncompressedSize, size);
  EXPECT_EQ(e.localCompressedSize, e.compressedSize);
  EXPECT_EQ(e.versionNeeded, 45);
  EXPECT_EQ(e.localVersionNeeded, 45);
  EXPECT_EQ(archive.entries[0].versionNeeded, 20);  // the others stay classic
  // One reader inflates it all and checks the CRC; the others only list it, which keeps this quick.
  auto sevenZip = RunTool("7z t " + Quote((dir_ / "huge.zip").string()));
  EXPECT_EQ(sevenZip.status, 0) << sevenZip.output;
  ExpectReadersAccept(dir_ / "huge.zip", {{"before", "first"}, {"sparse", ""}, {"after", "last"}}, true);
}

TEST_F(ZipWriterTest, AnArchiveThatCannotBeCreatedThrowsWithItsCause) {
  std::filesystem::create_directory(dir_ / "locked");
  ::chmod((dir_ / "locked").c_str(), 0555);
  struct Case {
    std::string archive;
    int cause;
    bool asRootToo;  // root writes into a read-only folder
  };
  const Case cases[] = {
      {(dir_ / "no/such/folder/a.zip").string(), CZipException::fileNotFound, true},
      {(dir_ / "locked/a.zip").string(), CZipException::accessDenied, false},
  };
  for (const Case& c : cases) {
    if (!c.asRootToo && ::geteuid() == 0) continue;
    CZipWriter writer;
    try {
      writer.OpenOnFile(c.archive);
      ADD_FAILURE() << "no exception for " << c.archive;
    } catch (const CZipException& e) {
      EXPECT_EQ(e.cause(), c.cause) << c.archive;
      EXPECT_EQ(e.fileName(), c.archive);
    }
    EXPECT_FALSE(writer.IsOpen());
  }
}

// A small file system of its own, so a full disk can be had on demand.
class SmallTmpfs {
 public:
  explicit SmallTmpfs(const std::filesystem::path& where, const char* options) : where_(where) {
    std::filesystem::create_directories(where);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", where.c_str(), "tmpfs", 0, options) == 0;
  }
  ~SmallTmpfs() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::filesystem::path where_;
  bool mounted_ = false;
};

TEST_F(ZipWriterTest, AFullDiskOrReadOnlyFolderIsThrownNotIgnored) {
  SmallTmpfs full(dir_ / "full", "size=1m");
  if (!full.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const auto source = Source("random", MixedData(3'000'000, 5));
  CZipWriter writer;
  writer.OpenOnFile((dir_ / "full/a.zip").string());
  try {
    writer.AddFileFromPath(source.string(), "r1", 5);
    writer.AddFileFromPath(source.string(), "r2", 5);
    writer.Close();
    FAIL() << "a full disk went unnoticed";
  } catch (const CZipException& e) {
    EXPECT_EQ(e.cause(), CZipException::diskFull);
    writer.Abort();
  }
  EXPECT_FALSE(writer.IsOpen());

  SmallTmpfs readOnly(dir_ / "ro", "size=1m");
  ASSERT_TRUE(readOnly.mounted());
  ASSERT_EQ(::mount(nullptr, (dir_ / "ro").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  try {
    writer.OpenOnFile((dir_ / "ro/a.zip").string());
    FAIL() << "no exception";
  } catch (const CZipException& e) {
    EXPECT_EQ(e.cause(), CZipException::accessDenied);
  }
}

}  // namespace
}  // namespace tarnwick::test
