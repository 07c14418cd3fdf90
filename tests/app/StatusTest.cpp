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

TEST(StatusTest, SuccessHasNoText) {
  EXPECT_TRUE(Status().ok());
  EXPECT_EQ(Status::Ok().ToString(), "");
  EXPECT_EQ(Status::Busy("another job").ToString(), "another job");
}

}  // namespace
}  // namespace tarnwick
