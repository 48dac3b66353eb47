// The tests of what the desktop shows run the real windows on an X server
// (xvfb-run) under a real window manager, which gives windows their frames,
// stacking and focus as on a user's desktop. One is started here when none
// runs yet.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "app/ScaliperApplication.h"
#include "tests/desktop/Desktop.h"

#include <X11/Xlib.h>  // after Qt, whose names its macros would clash with

int main(int argc, char **argv) {
  // The person at the screen works from a thread of their own.
  XInitThreads();
  qputenv("QT_QPA_PLATFORM", "xcb");
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::fprintf(stderr, "These tests need an X server: run them under xvfb-run.\n");
    return 1;
  }

  pid_t windowManager = 0;
  {
    XDesktop desktop;
    if (!desktop.WindowManagerRunning()) {
      windowManager = fork();
      if (windowManager == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execlp("openbox", "openbox", static_cast<char *>(nullptr));
        _exit(127);
      }
      if (windowManager < 0 || !desktop.WaitForWindowManager()) {
        std::fprintf(stderr, "The window manager (openbox) did not start; scripts/install-deps installs it.\n");
        return 1;
      }
    }
  }

  // Whatever the program keeps per user (the journals of its sittings) goes
  // to folders of this run alone, never to the user's own.
  QTemporaryDir home;
  for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
    qputenv(name, (home.path() + u'/' + QString::fromLatin1(name)).toLocal8Bit());

  int status;
  {
    TScaliperApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    status = RUN_ALL_TESTS();
  }
  if (windowManager > 0) {
    kill(windowManager, SIGTERM);
    waitpid(windowManager, nullptr, 0);
  }
  return status;
}
