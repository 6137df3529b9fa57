// Entry of the window tests: a QApplication on the offscreen platform (unless
// the caller chose another), with Qt's settings kept out of the home folder.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QTemporaryDir config_home;
  setenv("XDG_CONFIG_HOME", config_home.path().toLocal8Bit().constData(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
