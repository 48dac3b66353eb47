#include "app/ScaliperApplication.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Whatever the program keeps per user (the journals of its sittings) goes
  // to folders of this run alone, never to the user's own.
  QTemporaryDir home;
  for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
    qputenv(name, (home.path() + u'/' + QString::fromLatin1(name)).toLocal8Bit());
  TScaliperApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
