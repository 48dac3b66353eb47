#pragma once

#include <QApplication>

class Prompter;

// The application object. It names the program for the desktop and shows an
// error that escapes an event handler in the standard error report instead
// of ending the program.
class TScaliperApplication : public QApplication {
public:
  // The program's name as the desktop shows it: the main window's caption,
  // the window class and the title of the standard error report.
  static const char *const Title;

  TScaliperApplication(int &argc, char **argv);

  // Where escaping errors are reported; null reports nothing and lets them pass.
  void SetPrompter(Prompter *prompter) { Prompter_ = prompter; }

  bool notify(QObject *receiver, QEvent *event) override;

private:
  Prompter *Prompter_ = nullptr;
};
