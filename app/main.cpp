#include <QApplication>
#include <QMessageBox>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "app/ScaliperIcon.h"

namespace {
// Shows an error that escapes an event handler in a message box and goes on
// with the next event, instead of ending the program.
class TScaliperApplication : public QApplication {
public:
  using QApplication::QApplication;
  TQtPrompter *Prompter = nullptr;

  bool notify(QObject *receiver, QEvent *event) override {
    bool handled = false;
    if (Prompter)
      RunGuarded(*Prompter, [&] { handled = QApplication::notify(receiver, event); });
    else
      handled = QApplication::notify(receiver, event);
    return handled;
  }
};
}  // namespace

int main(int argc, char *argv[]) {
  TScaliperApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("SCALIPER (Measuring Tape)"));
  QApplication::setApplicationDisplayName(QStringLiteral("SCALIPER (Measuring Tape)"));
  // Every window of the program shows its icon; the desktop finds the rest
  // (name, icon) through the installed scaliper.desktop.
  QApplication::setWindowIcon(ScaliperIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("scaliper"));
  TQtPrompter prompter;
  try {
    TForm1 form(prompter);
    prompter.SetOwner(&form);
    app.Prompter = &prompter;
    form.show();
    app.exec();
    app.Prompter = nullptr;
  } catch (const std::exception &e) {
    QMessageBox::critical(nullptr, QApplication::applicationDisplayName(),
                          QString::fromLocal8Bit(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), QString());
  }
  return 0;
}
