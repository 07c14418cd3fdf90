#include "app/ChildProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(ChildProcessTest, RunsProgramsFromThePathWithTheirExitStatusAndOutput) {
  std::string out;
  EXPECT_EQ(RunProgram({"sh", "-c", "echo one; echo two >&2; cat; exit 3"}, &out), 3);
  EXPECT_EQ(out, "one\n") << "standard output only, and standard input is empty";
  EXPECT_EQ(RunProgram({"no-such-program-here"}, &out), 127);
  EXPECT_EQ(RunProgram({}), 127);
  EXPECT_EQ(StartProgram({"no-such-program-here"}, ChildOutput::Discard), -1);
}

TEST(ChildProcessTest, AStartedProgramIsReapedOnceItEnds) {
  const pid_t quick = StartProgram({"true"}, ChildOutput::Discard);
  ASSERT_GT(quick, 0);
  EXPECT_EQ(WaitProgram(quick), 0);
  const pid_t slow = StartProgram({"sleep", "0.2"}, ChildOutput::Discard);
  ASSERT_GT(slow, 0);
  EXPECT_FALSE(ReapProgram(slow));
  EXPECT_EQ(WaitProgram(slow), 0);
}

}  // namespace
}  // namespace tarnwick
