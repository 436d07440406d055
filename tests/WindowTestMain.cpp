// Entry point of the window test programs: one offscreen application for all their tests.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // A main window shown by a test checks for an update on a closed local port, never online.
  if (qEnvironmentVariableIsEmpty("QUILLET_UPDATE_URL"))
    qputenv("QUILLET_UPDATE_URL", "http://127.0.0.1:1/upd_converter.ini");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
