#pragma once

#include <QApplication>

class Prompter;

// The application object. It names the program for the desktop and shows an
// error that escapes an event handler in the standard error report instead
// of ending the program: every command runs inside an event, so this is the
// one place where such errors are caught.
class TScaliperApplication : public QApplication {
public:
  TScaliperApplication(int &argc, char **argv);

  // Where escaping errors are reported; null reports nothing and lets them pass.
  void SetPrompter(Prompter *prompter) { Prompter_ = prompter; }

  bool notify(QObject *receiver, QEvent *event) override;

private:
  Prompter *Prompter_ = nullptr;
};
