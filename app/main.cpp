#include <QMessageBox>

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
    app.exec();
    app.SetPrompter(nullptr);
  } catch (const std::exception &e) {
    QMessageBox::critical(nullptr, title, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, title, QString());
  }
  return 0;
}
