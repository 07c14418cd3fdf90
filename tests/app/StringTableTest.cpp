#include "app/StringTable.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(StringTable, LooksUpTextsByNumber) {
  EXPECT_STREQ(LoadString(IDS_VERSION_TEXT), "Tarnwick Version 1.1");
  EXPECT_STREQ(LoadString(61535), "Backup has been stopped.");
  EXPECT_STREQ(LoadString(IDS_CONFIRM_DELETE_MANY),
               "Warnning!!All selected profiles will be deleted!!\nDo you really want to proceed?");
  EXPECT_STREQ(LoadString(IDS_LEVEL_STORE), "Store");
  EXPECT_STREQ(LoadString(IDS_MONTH_DECEMBER), "December");
  EXPECT_STREQ(LoadString(1), "");
  EXPECT_STREQ(LoadString(99999), "");
}

TEST(StringTable, FormatsEntriesWithArguments) {
  EXPECT_EQ(FormatString(IDS_TASK_NAME_ROW, "nightly"), "********** Task Name:  nightly **********");
  EXPECT_EQ(FormatString(IDS_DELETE_FAILED, "/p/a.pfl", 13), "Delete \"/p/a.pfl\" failed.\nError Code = 13.");
  EXPECT_EQ(FormatString(IDS_SCHED_ONCE, 7, 5, 12, 24, 2026), "At 07:05 on 12/24/2026");
  // Longer than any fixed buffer: nothing is cut.
  std::string longName(5000, 'x');
  EXPECT_EQ(FormatText("%s!", longName.c_str()).size(), 5001u);
}

}  // namespace
}  // namespace tarnwick
