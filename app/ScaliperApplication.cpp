#include "app/ScaliperApplication.h"

#include "app/ProgramInfo.h"
#include "app/ScaliperIcon.h"
#include "common/ErrorReport.h"


TScaliperApplication::TScaliperApplication(int &argc, char **argv) : QApplication(argc, argv) {
  // The application name becomes the window class the desktop groups the
  // windows by. No display name is set: on X11 the toolkit would append it
  // to every window's title ("Confirm — SCALIPER …"), and each window is to
  // carry its own title alone.
  setApplicationName(QString::fromLatin1(ProgramInfo::Title));
  // Every window of the program shows its icon; the desktop finds the rest
  // (name, icon) through the installed scaliper.desktop.
  setWindowIcon(ScaliperIcon());
  setDesktopFileName(QStringLiteral("scaliper"));
}

bool TScaliperApplication::notify(QObject *receiver, QEvent *event) {
  if (!Prompter_) return QApplication::notify(receiver, event);
  bool handled = false;
  RunGuarded(*Prompter_, [&] { handled = QApplication::notify(receiver, event); });
  return handled;
}
