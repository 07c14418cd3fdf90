#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ftp/HistoryList.h"
#include "ftp/IniHistoryStore.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

// An in-memory store that records what it holds.
class MemoryStore : public HistoryStore {
 public:
  std::map<std::pair<std::string, std::string>, std::string> values;

  std::optional<std::string> GetString(const std::string& section, const std::string& key) override {
    auto it = values.find({section, key});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  Status SetString(const std::string& section, const std::string& key, const std::string& value) override {
    values[{section, key}] = value;
    return {};
  }
  Status RemoveKey(const std::string& section, const std::string& key) override {
    values.erase({section, key});
    return {};
  }

  bool Has(const std::string& key) const { return values.count({kHistoryFtpAddrSection, key}) != 0; }
  std::string At(const std::string& key) const { return values.at({kHistoryFtpAddrSection, key}); }
};

using Entries = std::vector<std::string>;

class HistoryListTest : public ::testing::Test {
 protected:
  MemoryStore store;
  void Put(const std::string& key, const std::string& value) {
    EXPECT_TRUE(store.SetString(kHistoryFtpAddrSection, key, value).ok());
  }
};

TEST_F(HistoryListTest, LoadStopsAtTheFirstEmptyValueAndSelectsTheLastText) {
  Put("HistoryItem0", "alpha");
  Put("HistoryItem1", "Beta");
  Put("HistoryItem2", "");
  Put("HistoryItem3", "hidden");
  Put("HistoryItem", "beta");
  CHistoryList list(store);
  EXPECT_EQ(list.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix), "beta");
  EXPECT_EQ(list.Entries(), (Entries{"alpha", "Beta"}));
  EXPECT_EQ(list.Selection(), 1);
  EXPECT_EQ(list.EditText(), "Beta");
  EXPECT_EQ(list.CurrentText(), "Beta");

  // Loading again replaces the list.
  list.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix);
  EXPECT_EQ(list.Entries().size(), 2u);
}

TEST_F(HistoryListTest, UnmatchedLastTextGoesIntoTheEditFieldOnly) {
  Put("HistoryItem0", "alpha");
  Put("Current", "typed.host");
  CHistoryList combo(store);
  EXPECT_EQ(combo.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix, true, "Current"), "typed.host");
  EXPECT_EQ(combo.Selection(), -1);
  EXPECT_EQ(combo.EditText(), "typed.host");

  CHistoryList dropList(store, false);
  dropList.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix, true, "Current");
  EXPECT_EQ(dropList.EditText(), "");

  CHistoryList forgetful(store);
  EXPECT_EQ(forgetful.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix, false, "Current"), "");
  EXPECT_EQ(forgetful.EditText(), "");
}

TEST_F(HistoryListTest, LoadReadsNoMoreThanTheMaximum) {
  for (int i = 0; i < 15; ++i) Put("HistoryItem" + std::to_string(i), "h" + std::to_string(i));
  CHistoryList list(store);
  list.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix);
  EXPECT_EQ(list.Entries().size(), 10u);
  EXPECT_EQ(list.Entries().back(), "h9");
}

TEST_F(HistoryListTest, AddKeepsTheNewestSpellingOnTopAndTrims) {
  CHistoryList list(store);
  list.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix);
  list.Add("ftp.one");
  list.Add("ftp.two");
  list.Add("  FTP.One \t");
  EXPECT_EQ(list.Entries(), (Entries{"FTP.One", "ftp.two"}));
  EXPECT_EQ(list.Selection(), 0);
  EXPECT_EQ(list.EditText(), "FTP.One");
  list.Add("   ");  // an empty entry would cut the stored list short
  EXPECT_EQ(list.Entries().size(), 2u);

  for (int i = 0; i < 10; ++i) list.Add("host" + std::to_string(i));
  EXPECT_EQ(list.Entries().size(), 10u);
  EXPECT_EQ(list.Entries().front(), "host9");
  EXPECT_EQ(list.Entries().back(), "host0");
  list.SetMaximum(3);
  EXPECT_EQ(list.Entries(), (Entries{"host9", "host8", "host7"}));
}

TEST_F(HistoryListTest, SaveWritesTheListAndDeletesStaleIndexes) {
  // A longer earlier list, with a gap after index 12.
  for (int i = 0; i < 13; ++i) Put("HistoryItem" + std::to_string(i), "old" + std::to_string(i));
  Put("HistoryItem14", "beyond the gap");
  CHistoryList list(store);
  list.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix);
  ASSERT_EQ(list.Entries().size(), 10u);
  list.SetEditText("  new.host  ");
  EXPECT_TRUE(list.Save(true).ok());

  EXPECT_EQ(store.At("HistoryItem0"), "new.host");
  EXPECT_EQ(store.At("HistoryItem1"), "old0");
  EXPECT_EQ(store.At("HistoryItem9"), "old8");
  for (int i = 10; i <= 12; ++i) EXPECT_FALSE(store.Has("HistoryItem" + std::to_string(i))) << i;
  EXPECT_TRUE(store.Has("HistoryItem14"));  // the first empty index ends the clean-up
  EXPECT_EQ(store.At("HistoryItem"), "new.host");

  // Read back by a fresh list: the same entries, the saved text selected.
  CHistoryList again(store);
  again.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix);
  EXPECT_EQ(again.Entries(), list.Entries());
  EXPECT_EQ(again.Selection(), 0);
}

TEST_F(HistoryListTest, SaveWithoutAddingKeepsTheTypedText) {
  CHistoryList list(store);
  list.Load(kHistoryFtpAddrSection, kHistoryKeyPrefix);
  list.SetEditText("typed");
  EXPECT_TRUE(list.Save(false).ok());
  EXPECT_FALSE(store.Has("HistoryItem0"));
  EXPECT_EQ(store.At("HistoryItem"), "typed");
}

TEST_F(HistoryListTest, WithoutSectionNothingIsStoredAndAddOnlyAppends) {
  CHistoryList list(store);
  list.Add(" b ");
  list.Add("a");
  EXPECT_EQ(list.Entries(), (Entries{" b ", "a"}));
  list.SetEditText("x");
  EXPECT_TRUE(list.Save(true).ok());
  EXPECT_TRUE(store.values.empty());

  // An empty prefix: entries are appended as typed, the last text goes under "Last".
  CHistoryList bare(store);
  bare.Load("S", "");
  bare.Add("one");
  bare.Add("two");
  EXPECT_EQ(bare.Entries(), (Entries{"one", "two"}));
  bare.SetEditText("two");
  EXPECT_TRUE(bare.Save(false).ok());
  EXPECT_EQ(store.values.at({"S", "0"}), "one");
  EXPECT_EQ(store.values.at({"S", "Last"}), "two");
}

TEST(IniHistoryStore, RoundTripsThroughItsFile) {
  test::TempDir dir;
  const std::string path = (dir / "history.ini").string();
  {
    IniHistoryStore store(path);
    ASSERT_TRUE(store.OpenStatus().ok());
    CHistoryList list(store);
    list.Load(kHistoryLocalDirSection, kHistoryKeyPrefix);
    list.Add("/backup/a;b");
    list.Add("/backup/Trailing ");  // trimmed
    list.Add("/backup/c");
    EXPECT_TRUE(list.Save(false).ok());
    EXPECT_TRUE(store.SetString(kHistorySrcHostSection, "HistoryItem0", "Ftp.Host").ok());
    EXPECT_TRUE(store.SetString(kHistorySrcHostSection, "HistoryItem0", "ftp.host").ok());  // a change of case alone
  }
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  IniHistoryStore store(path);
  CHistoryList list(store);
  list.Load(kHistoryLocalDirSection, kHistoryKeyPrefix);
  EXPECT_EQ(list.Entries(), (Entries{"/backup/c", "/backup/Trailing", "/backup/a;b"}));
  EXPECT_EQ(list.Selection(), 0);
  EXPECT_EQ(store.GetString(kHistorySrcHostSection, "HistoryItem0"), "ftp.host");

  EXPECT_TRUE(store.RemoveKey(kHistoryLocalDirSection, "HistoryItem2").ok());
  EXPECT_EQ(store.GetString(kHistoryLocalDirSection, "HistoryItem2"), std::nullopt);
  EXPECT_EQ(IniHistoryStore(path).GetString(kHistoryLocalDirSection, "HistoryItem2"), std::nullopt);
  EXPECT_EQ(store.GetString("NoSuchSection", "HistoryItem0"), std::nullopt);
}

TEST(IniHistoryStore, AFileThatCannotBeOpenedKeepsNothingAndSaysWhy) {
  test::TempDir dir;
  const std::string path = (dir / "missing" / "history.ini").string();
  IniHistoryStore store(path);
  EXPECT_EQ(store.OpenStatus().path(), path);
  EXPECT_EQ(store.OpenStatus().sysError(), ENOENT);
  CHistoryList list(store);
  list.Load(kHistoryLocalDirSection, kHistoryKeyPrefix);
  list.Add("/backup");
  const Status saved = list.Save(false);
  EXPECT_EQ(saved.code(), StatusCode::IoError);
  EXPECT_EQ(saved.path(), path);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace tarnwick
