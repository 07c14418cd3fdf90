#include "app/Status.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace tarnwick {
namespace {

TEST(StatusTest, IoErrorCarriesPathErrnoAndTheSystemsReason) {
  const Status s = Status::IoError("/backup/a.txt", ENOSPC);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.code(), StatusCode::IoError);
  EXPECT_EQ(s.sysError(), ENOSPC);
  EXPECT_EQ(s.ToString(), std::string("/backup/a.txt: ") + std::strerror(ENOSPC));
}

TEST(StatusTest, AWholeTextIsShownAsItIsAndKeepsPathAndErrno) {
  const Status s = Status::IoError("/p/a.pfl", EACCES, "Cannot write \"/p/a.pfl\".\nPermission denied.");
  EXPECT_EQ(s.code(), StatusCode::IoError);
  EXPECT_EQ(s.path(), "/p/a.pfl");
  EXPECT_EQ(s.sysError(), EACCES);
  EXPECT_EQ(s.ToString(), "Cannot write \"/p/a.pfl\".\nPermission denied.");
  EXPECT_EQ(Status::NotFound("/p/b.pfl").ToString(), std::string("/p/b.pfl: ") + std::strerror(ENOENT));
}

TEST(StatusTest, SuccessHasNoText) {
  EXPECT_TRUE(Status().ok());
  EXPECT_EQ(Status::Ok().ToString(), "");
  EXPECT_EQ(Status::Busy("another job").ToString(), "another job");
}

}  // namespace
}  // namespace tarnwick
