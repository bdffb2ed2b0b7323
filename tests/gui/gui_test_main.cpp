// GoogleTest entry for the window tests: one QApplication for all of them,
// on the offscreen platform unless the caller chose another one (Xvfb).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("pixelTuck"));
  return RUN_ALL_TESTS();
}
