#include "app/CommandLine.h"

#include <QFileInfo>

#include "app/Form1.h"
#include "common/Prompter.h"
#include "common/WholeFile.h"

void OpenCommandLine(TForm1 &form, Prompter &prompter, const QStringList &arguments) {
  QStringList refused, images;
  // What has been gathered so far goes, before a results file and at the end.
  const auto openGathered = [&] {
    if (!refused.isEmpty()) prompter.ShowMessage(refused.join(u'\n'), QStringLiteral("File Error"));
    if (!images.isEmpty()) form.OpenImageFiles(images);
    refused.clear();
    images.clear();
  };
  for (const QString &argument : arguments) {
    // Rows hold whole paths, as the file chooser gives them.
    const QString path = QFileInfo(argument).absoluteFilePath();
    if (!QFileInfo::exists(path) || ExistsButIsNoFile(path)) {
      refused << QStringLiteral("Cannot open ") + argument;
      continue;
    }
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("txt") || extension == QLatin1String("csv")) {
      openGathered();
      form.ContinueResults1Click(path);
    } else {
      images << path;
    }
  }
  openGathered();
}
