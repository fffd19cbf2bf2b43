// The window tests' main: one QApplication, drawn offscreen unless QT_QPA_PLATFORM says
// otherwise, for every test. What the window keeps between runs (QSettings) goes to a
// folder of the tests' own, removed at the end: never to the user's settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();  // listing needs no windows
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QTemporaryDir settings;
  if (!settings.isValid()) return 1;
  for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    QSettings::setPath(format, QSettings::UserScope, settings.path());
  }
  QCoreApplication::setOrganizationName(QStringLiteral("DropkitTests"));
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
