// tarnwick-cli ping: the lines of the "Pinging Host..." dialog on standard output, and an exit
// status that tells whether the host answered at all.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/CliSandbox.h"

namespace tarnwick::test {
namespace {

bool NoSocket(const std::vector<std::string>& lines) {
  return !lines.empty() && lines[0].rfind("socket() - WSAError: ", 0) == 0;
}

TEST(PingRunTest, AnsweringHostListsFourRepliesAndExitsZero) {
  CliSandbox dir;
  const ProcessResult result = dir.Run({"ping", "127.0.0.1"});
  const std::vector<std::string> lines = SplitLines(result.out);
  if (NoSocket(lines)) {
    EXPECT_EQ(result.status, 1) << "no reply without a socket";
    GTEST_SKIP() << "this user may open no ICMP socket: " << lines[0];
  }
  ASSERT_EQ(lines.size(), 5u) << result.out << result.err;
  EXPECT_EQ(lines[0], "Pinging 127.0.0.1 [127.0.0.1] with 32 bytes of data:");
  for (int i = 1; i <= 4; ++i) {
    const std::string reply = "Reply[" + std::to_string(i) + "] from: 127.0.0.1: bytes=32 time=";
    EXPECT_EQ(lines[static_cast<size_t>(i)].rfind(reply, 0), 0u) << lines[static_cast<size_t>(i)];
  }
  EXPECT_EQ(result.status, 0);
}

TEST(PingRunTest, NoAnswerOrNoHostIsAFailureAndAMissingHostCannotStart) {
  CliSandbox dir;
  const ProcessResult unknown = dir.Run({"ping", "tarnwick-test.invalid"});
  const std::vector<std::string> lines = SplitLines(unknown.out);
  if (!NoSocket(lines)) {
    EXPECT_EQ(lines, std::vector<std::string>{"Host not found: tarnwick-test.invalid"});
  }
  EXPECT_EQ(unknown.status, 1);

  const ProcessResult usage = dir.Run({"ping"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("ping HOST"), std::string::npos) << usage.err;
}

}  // namespace
}  // namespace tarnwick::test
