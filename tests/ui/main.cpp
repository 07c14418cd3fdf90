// The UI tests' main: one QApplication on the offscreen platform for every test, and settings that
// go to a test location instead of the user's.
#include <stdlib.h>

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QStandardPaths::setTestModeEnabled(true);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
