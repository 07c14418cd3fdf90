#include "app/ProgramFolder.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ProgramFolder, IsThePathUpToItsLastSlash) {
  SetProgramFolder("/opt/tarnwick/bin/tarnwick-cli");
  EXPECT_EQ(ProgramFolder(), std::filesystem::path("/opt/tarnwick/bin"));
  EXPECT_EQ(PathBesideProgram("profiles.ini"), std::filesystem::path("/opt/tarnwick/bin/profiles.ini"));

  SetProgramFolder("/tarnwick");
  EXPECT_EQ(ProgramFolder(), std::filesystem::path("/"));
}

TEST(ProgramFolder, IsTheCurrentDirectoryForABareName) {
  SetProgramFolder("tarnwick-cli");
  EXPECT_EQ(ProgramFolder(), std::filesystem::current_path());

  // A relative path is fixed at start-up, so a later change of directory does not move it.
  SetProgramFolder("./bin/tarnwick-cli");
  EXPECT_EQ(ProgramFolder(), std::filesystem::current_path() / "." / "bin");
}

}  // namespace
}  // namespace tarnwick
