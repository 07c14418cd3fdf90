#include "formats/PartFile.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <string>

namespace tarnwick {
namespace {

// The id of a process that has ended: a child that exits at once, reaped.
pid_t EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// A stale temporary is removed by the next run; a name that only reads like one (found by the
// fuzzer: the reading takes leading zeros, signs, blanks and "0x") was made by someone else and
// must stay.
TEST(PartFileTest, OnlyNamesExactlyAsWrittenCanBeStale) {
  const std::string own = TemporaryNameBeside("x");  // ".tarnwick-<pid>-<mark>-<n>.part"
  const std::string mark = own.substr(own.find('-', 10) + 1, 8);
  std::string upperMark = mark;
  for (char& c : upperMark) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string pid = std::to_string(EndedProcess());
  const std::string stale = ".tarnwick-" + pid + "-" + mark + "-3.part";
  EXPECT_TRUE(IsStaleTemporaryName(stale));
  EXPECT_FALSE(IsStaleTemporaryName(own)) << "our own, while we run";
  for (const std::string& lookalike :
       {".tarnwick-0" + pid + "-" + mark + "-3.part", ".tarnwick-+" + pid + "-" + mark + "-3.part",
        ".tarnwick- " + pid + "-" + mark + "-3.part", ".tarnwick-" + pid + "-" + upperMark + "-3.part",
        ".tarnwick-" + pid + "-" + mark + "-03.part", ".tarnwick-" + pid + "-" + mark + "-+3.part",
        ".tarnwick-" + std::to_string(4294967296LL + std::stoll(pid)) + "-" + mark + "-3.part",
        ".tarnwick-" + pid + "-00000000-3.part", "tarnwick-" + pid + "-" + mark + "-3.part"}) {
    if (lookalike == stale) continue;  // an upper-case mark without letters is the same name
    EXPECT_FALSE(IsStaleTemporaryName(lookalike)) << lookalike;
  }
}

}  // namespace
}  // namespace tarnwick
