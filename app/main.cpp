#include <QMessageBox>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/ProgramInfo.h"
#include "app/QtPrompter.h"
#include "app/ScaliperApplication.h"

int main(int argc, char *argv[]) {
  TScaliperApplication app(argc, argv);
  TQtPrompter prompter;
  const QString title = QString::fromLatin1(ProgramInfo::Title);
  try {
    TForm1 form(prompter);
    prompter.SetOwner(&form);
    app.SetPrompter(&prompter);
    form.show();
    // A sitting that did not end normally left its journal: offered back.
    form.OfferLeftOverJournal();
    // The files named on the command line are taken once the window runs,
    // like a command, so that an error escaping them is reported as any
    // command's is.
    const QStringList named = TScaliperApplication::arguments().mid(1);
    QTimer::singleShot(0, &form, [&form, &prompter, named] { OpenCommandLine(form, prompter, named); });
    app.exec();
    app.SetPrompter(nullptr);
  } catch (const std::exception &e) {
    QMessageBox::critical(nullptr, title, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, title, QString());
  }
  return 0;
}
