// The UI tests' main: one QApplication on the offscreen platform for every test, and settings that
// go to a folder of this process instead of the user's. CTest runs test programs side by side, so a
// shared settings file would let one test's history lists leak into another's.
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  std::string config = (std::filesystem::temp_directory_path() / "tarnwick-ui-test-XXXXXX").string();
  if (::mkdtemp(config.data()) != nullptr) ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  int result = 0;
  {
    QApplication application(argc, argv);
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  return result;
}
