// The account files and the INI history store are shared by every running copy of the program:
// processes storing at the same moment must keep each other's entries.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ftp/AccountHistory.h"
#include "ftp/IniHistoryStore.h"
#include "support/ParallelProcesses.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

struct SharedFileCase {
  const char* what;
  // Stores entry `index` into the file at `path`.
  std::function<bool(const std::string& path, int index)> store;
  // Whether the file at `path` holds entry `index`.
  std::function<bool(const std::string& path, int index)> holds;
};

std::ostream& operator<<(std::ostream& out, const SharedFileCase& c) { return out << c.what; }

std::string Host(int index) { return "host" + std::to_string(index) + ".example.org"; }

class SharedFileTest : public ::testing::TestWithParam<SharedFileCase> {};

TEST_P(SharedFileTest, ParallelStoresKeepEveryEntry) {
  test::TempDir dir;
  const std::string path = (dir / "shared.ini").string();
  constexpr int kProcesses = 30;
  const int done = test::RunInParallelProcesses(kProcesses, [&](int index) { return GetParam().store(path, index); });
  ASSERT_EQ(done, kProcesses);
  for (int i = 0; i < kProcesses; ++i) EXPECT_TRUE(GetParam().holds(path, i)) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SharedFileTest,
    ::testing::Values(
        SharedFileCase{"destination accounts",
                       [](const std::string& path, int index) {
                         DestinationAccountFields f;
                         f.host = Host(index);
                         f.userName = "user" + std::to_string(index);
                         f.password = "pw";
                         return StoreDestinationAccount(f, path).ok();
                       },
                       [](const std::string& path, int index) {
                         DestinationAccountFields f;
                         f.host = Host(index);
                         return RecallDestinationAccount(f, "", "", path).ok() &&
                                f.userName == "user" + std::to_string(index);
                       }},
        SharedFileCase{"source accounts",
                       [](const std::string& path, int index) {
                         SourceAccountFields f;
                         f.host = Host(index);
                         f.initialPath = "/pub/" + std::to_string(index);
                         return StoreSourceAccount(f, path).ok();
                       },
                       [](const std::string& path, int index) {
                         SourceAccountFields f;
                         f.host = Host(index);
                         return RecallSourceAccount(f, path).ok() && f.initialPath == "/pub/" + std::to_string(index);
                       }},
        SharedFileCase{
            "history store",
            [](const std::string& path, int index) {
              IniHistoryStore store(path);
              return store.SetString("BackupFtpAddr", "HistoryItem" + std::to_string(index), Host(index)).ok();
            },
            [](const std::string& path, int index) {
              return IniHistoryStore(path).GetString("BackupFtpAddr", "HistoryItem" + std::to_string(index)) ==
                     Host(index);
            }}),
    [](const ::testing::TestParamInfo<SharedFileCase>& c) {
      std::string name = c.param.what;
      for (char& letter : name) letter = letter == ' ' ? '_' : letter;
      return name;
    });

}  // namespace
}  // namespace tarnwick
