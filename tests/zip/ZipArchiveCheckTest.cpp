#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "zip/ZipArchiveCheck.h"
#include "zip/ZipTestSupport.h"
#include "zip/ZipWriter.h"

namespace tarnwick::test {
namespace {

void PutLe(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Offsets of one entry's headers and data.
struct EntryPlace {
  std::size_t local = 0, central = 0, data = 0;
};

// Sets a field that both headers hold: at `central` in the directory entry, `local` in the local one.
auto Both(std::size_t entry, std::size_t central, std::size_t local, std::uint64_t value, int size) {
  return [=](std::string& bytes, const std::vector<EntryPlace>& at) {
    PutLe(bytes, at[entry].central + central, value, size);
    PutLe(bytes, at[entry].local + local, value, size);
  };
}

std::vector<EntryPlace> Places(const std::string& bytes) {
  const ParsedArchive parsed = ParseArchive(bytes);
  std::vector<EntryPlace> places;
  std::size_t central = parsed.directoryOffset;
  for (const ParsedEntry& entry : parsed.entries) {
    EntryPlace place;
    place.local = entry.offset;
    place.central = central;
    place.data = entry.offset + 30 + entry.localName.size() + entry.localExtra.size();
    places.push_back(place);
    central += 46 + entry.name.size() + entry.centralExtra.size();
  }
  return places;
}

struct CheckOutcome {
  Status status;
  std::vector<ZipEntryFault> faults;
};

CheckOutcome Check(const std::filesystem::path& archive) {
  CheckOutcome outcome;
  ZipCheckCallbacks callbacks;
  callbacks.onEntry = [&](const ZipCheckedEntry& entry) {
    outcome.faults.push_back(entry.fault);
    return true;
  };
  outcome.status = CheckZipArchive(archive.string(), callbacks);
  return outcome;
}

struct Corruption {
  const char* what;
  std::function<void(std::string& bytes, const std::vector<EntryPlace>& at)> apply;
  StatusCode status;
  ZipEntryFault first, second;  // the stored entry "a.txt", the deflated entry "b.txt"
};

class ZipArchiveCheckTest : public ::testing::TestWithParam<Corruption> {
 protected:
  void SetUp() override {
    std::string text;
    while (text.size() < (std::size_t{3} << 20))
      text += "line " + std::to_string(text.size() % 7919) + " of a report\n";
    WriteFile(dir / "a.txt", "hello world");
    WriteFile(dir / "b.txt", text);
    CZipWriter writer;
    writer.OpenOnFile(archive.string());
    ASSERT_TRUE(writer.AddFileFromPath((dir / "a.txt").string(), "a.txt", 0));
    ASSERT_TRUE(writer.AddFileFromPath((dir / "b.txt").string(), "b.txt", 5));
    writer.Close();
  }

  TempDir dir;
  std::filesystem::path archive = dir / "x.zip";
};

TEST_P(ZipArchiveCheckTest, FindsTheFault) {
  const Corruption& corruption = GetParam();
  std::string bytes = ReadFile(archive);
  corruption.apply(bytes, Places(bytes));
  WriteFile(archive, bytes);
  const CheckOutcome outcome = Check(archive);
  EXPECT_EQ(outcome.status.code(), corruption.status) << outcome.status.ToString();
  if (corruption.status != StatusCode::Ok) return;
  EXPECT_EQ(outcome.faults, (std::vector<ZipEntryFault>{corruption.first, corruption.second}));
}

using F = ZipEntryFault;
INSTANTIATE_TEST_SUITE_P(Corruptions, ZipArchiveCheckTest,
                         ::
                             testing::Values(Corruption{"Intact", [](std::string&, const auto&) {}, StatusCode::Ok,
                                                        F::None, F::None},
                                             Corruption{"StoredByteFlipped",
                                                        [](std::string& b, const auto& at) { b[at[0].data + 3] ^= 1; },
                                                        StatusCode::Ok, F::CrcMismatch, F::None},
                                             Corruption{
                                                 "DeflatedByteFlipped",
                                                 [](std::string& b, const auto& at) { b[at[1].data + 5000] ^= 0x55; },
                                                 StatusCode::Ok, F::None, F::SizeMismatch},
                                             Corruption{"CentralCrcAlone",
                                                        [](std::string& b, const auto& at) {
                                                          PutLe(b, at[0].central + 16, 1234, 4);
                                                        },
                                                        StatusCode::Ok, F::BadLocalHeader, F::None},
                                             Corruption{"BothCrcs",
                                                        Both(1, 16, 14, 1234, 4),
                                                        StatusCode::Ok, F::None, F::CrcMismatch},
                                             Corruption{"BothSizes",
                                                        Both(1, 24, 22, 1000, 4),
                                                        StatusCode::Ok, F::None, F::SizeMismatch},
                                             Corruption{"DeflateStreamCutShort",
                                                        Both(1, 20, 18, 100, 4),
                                                        StatusCode::Ok, F::None, F::BadData},
                                             Corruption{"DataPastTheDirectory",
                                                        Both(0, 20, 18, 1u << 30, 4),
                                                        StatusCode::Ok, F::DataOutOfBounds, F::None},
                                             Corruption{"UnknownMethod",
                                                        Both(0, 10, 8, 12, 2),
                                                        StatusCode::Ok, F::UnsupportedMethod, F::None},
                                             Corruption{"LocalSignature",
                                                        [](std::string& b, const auto& at) { b[at[1].local] = 'Q'; },
                                                        StatusCode::Ok, F::None, F::BadLocalHeader},
                                             Corruption{"NameLeadsOut",
                                                        [](std::string& b, const auto& at) {
                                                          b.replace(at[0].central + 46, 5, "../ab");
                                                          b.replace(at[0].local + 30, 5, "../ab");
                                                        },
                                                        StatusCode::Ok, F::UnsafeName, F::None},
                                             Corruption{"EndCut",
                                                        [](std::string& b, const auto&) { b.resize(b.size() - 10); },
                                                        StatusCode::Corrupt, F::None, F::None},
                                             Corruption{
                                                 "DirectoryOffset",
                                                 [](std::string& b, const auto&) { PutLe(b, b.size() - 6, 7, 4); },
                                                 StatusCode::Corrupt, F::None, F::None},
                                             Corruption{"EntryCountBeyondTheDirectory",
                                                        [](std::string& b, const auto&) {
                                                          PutLe(b, b.size() - 12, 3, 2);
                                                          PutLe(b, b.size() - 14, 3, 2);
                                                        },
                                                        StatusCode::Corrupt, F::None, F::None}),
                         [](const auto& row) { return std::string(row.param.what); });

TEST(ZipArchiveCheck, NamesComeFromTheUnicodePathFieldAndAStopEndsTheCheck) {
  TempDir dir;
  WriteFile(dir / "src", "content");
  CZipWriter writer;
  writer.OpenOnFile((dir / "x.zip").string());
  ASSERT_TRUE(writer.AddFileFromPath((dir / "src").string(), "Übersicht/日本.txt", 5));
  ASSERT_TRUE(writer.AddFileFromPath((dir / "src").string(), "second", 5));
  writer.Close();

  std::vector<std::string> names;
  ZipCheckCallbacks callbacks;
  callbacks.onEntry = [&](const ZipCheckedEntry& entry) {
    names.push_back(entry.name);
    return false;
  };
  EXPECT_EQ(CheckZipArchive((dir / "x.zip").string(), callbacks).code(), StatusCode::Stopped);
  EXPECT_EQ(names, std::vector<std::string>{"Übersicht/日本.txt"});
  EXPECT_EQ(CheckZipArchive((dir / "missing.zip").string(), callbacks).code(), StatusCode::IoError);
}

}  // namespace
}  // namespace tarnwick::test
