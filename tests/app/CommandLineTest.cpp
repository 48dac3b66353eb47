// Files named on the command line, as the desktop's "Open with" names them.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

#include "app/CommandLine.h"
#include "app/Form1.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SampleImages.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestFiles.h"

namespace {
QStringList FileNames(const TResultsTable &table) {
  QStringList out;
  for (int i = 0; i < table.ImageCount; ++i) out << table.Cell(TResultsTable::colFileName, i + 1);
  return out;
}
}  // namespace

// Pictures become rows in the order named, relative names taken from the
// folder the program starts in; a results file is continued where it is
// named, when the definitions fit it or, with none, once those its figures
// file names are taken; what is no file is refused with Open Images'
// message and the rest still come.
TEST(CommandLine, FilesOpenInTheOrderNamedAndResultsFilesAreContinued) {
  QTemporaryDir home, dir;
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
  const QString results = dir.filePath("run.txt");
  WriteBytes(dir.filePath("a.jpg"), MakeJpeg(JpegKind::Baseline, 40, 30, qRgb(200, 30, 30)));
  WriteBytes(dir.filePath("b.tif"), MakeTiff({{QImage(20, 10, QImage::Format_RGB32), 8, false, 1, {}}}));
  WriteBytes(dir.filePath("x.jpg"), MakeJpeg(JpegKind::Baseline, 8, 8, qRgb(9, 9, 9)));
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));
  {  // A batch of one image saved with one line definition "L".
    ScriptedPrompter prompt;
    TForm1 first(prompt);
    AddDefinition(first.DefinitionList, first.ResultsTable, "L", mkLine, false, false, false, false);
    first.OpenImageFiles({dir.filePath("x.jpg")});
    prompt.AnswerFile(results);
    ASSERT_TRUE(first.Saveas1Click());
  }
  const QString startedIn = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  const struct {
    const char *Name;
    const char *Defined;  // the line definition in force, if any
    QStringList Arguments;
    QStringList Rows;
    std::vector<ScriptedPrompter::Shown> Messages;
    size_t Questions;
  } cases[] = {
      {"definitions fit", "L",
       {"b.tif", "missing.jpg", results, dir.filePath("folder.jpg"), dir.filePath("a.jpg")},
       {"b.tif", "x.jpg", "a.jpg"},
       {{"Cannot open missing.jpg", "File Error"}, {"Cannot open " + dir.filePath("folder.jpg"), "File Error"}},
       0},
      {"none defined, those of the figures file taken", nullptr, {results}, {"x.jpg"}, {}, 1},
      {"another definition", "M",
       {results, "a.jpg"},
       {"a.jpg"},
       {{"Line 1 of " + results + " has the heading \"L\" in column 5 where the current definitions give \"M\".",
         "File Error"}},
       0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    ScriptedPrompter prompt;
    TForm1 form(prompt);
    if (c.Defined)
      AddDefinition(form.DefinitionList, form.ResultsTable, QString::fromLatin1(c.Defined), mkLine, false, false, false,
                    false);
    if (c.Questions) prompt.Answers.push_back(mrYes);
    OpenCommandLine(form, prompt, c.Arguments);
    EXPECT_EQ(FileNames(form.ResultsTable), c.Rows);
    EXPECT_EQ(form.ResultsTable.Cell(TResultsTable::colPath, 1), QDir::toNativeSeparators(dir.path()));
    EXPECT_EQ(prompt.Messages, c.Messages);
    EXPECT_EQ(prompt.Questions.size(), c.Questions);
    EXPECT_EQ(form.Log().Record.Images.size(), size_t(c.Rows.size()));
    // The first row's picture is shown at Start.
    prompt.Answers.push_back(mrYes);
    Next(form);
    EXPECT_EQ(form.Frame().StatusPanel1->text(), dir.filePath(c.Rows.first()));
  }
  QDir::setCurrent(startedIn);
  qputenv("XDG_DATA_HOME", dataHome);
}
