#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>
#include <QAction>
#include <QCoreApplication>
#include <functional>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "app/Form1.h"
#include "common/WholeFile.h"
#include "definitions/DefinitionList.h"
#include "results/Record.h"
#include "results/ResultsFileWriter.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestFiles.h"

namespace {
// Two images in /photos, a line Line1; the first image measured.
void FillWorkedExample(TForm1 &form) {
  AddDefinition(form.DefinitionList, form.ResultsTable, "Line1", mkLine, false, false, false, false);
  form.ResultsTable.AppendImageRows({"/photos/leaf01.jpg", "/photos/leaf02.jpg"});
  form.ResultsTable.SetImageCell(0, 3, "37.8");
  form.ResultsTable.SetImageCell(0, 4, "2.5");
}
}  // namespace

TEST(ResultsFile, WorkedExampleInBothLayouts) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  FillWorkedExample(form);
  EXPECT_EQ(ResultsFileBytes(form.ResultsTable, '\t'),
            QByteArray("No.\tPath\tFile Name\tDots/cm\tLine1\r\n"
                       "1\t/photos\tleaf01.jpg\t37.8\t2.5\r\n"
                       "2\t/photos\tleaf02.jpg\t\t\r\n"));
  EXPECT_EQ(ResultsFileBytes(form.ResultsTable, ','),
            QByteArray("No.,Path,File Name,Dots/cm,Line1\r\n"
                       "1,/photos,leaf01.jpg,37.8,2.5\r\n"
                       "2,/photos,leaf02.jpg,,\r\n"));
  // A definition with no value yet is a column of empty fields.
  AddDefinition(form.DefinitionList, form.ResultsTable, "Angle1", mkAngle, false, false, false, false);
  EXPECT_EQ(ResultsFileBytes(form.ResultsTable, '\t'),
            QByteArray("No.\tPath\tFile Name\tDots/cm\tLine1\tAngle1\r\n"
                       "1\t/photos\tleaf01.jpg\t37.8\t2.5\t\r\n"
                       "2\t/photos\tleaf02.jpg\t\t\t\r\n"));
}

TEST(ResultsFile, BeforeAnyImageTenRowsOfSeparators) {
  TResultsTable table(PathRules::Posix);
  QByteArray expected = "No.\tPath\tFile Name\tDots/cm\r\n";
  for (int i = 0; i < 10; ++i) expected += "\t\t\t\r\n";
  EXPECT_EQ(ResultsFileBytes(table, '\t'), expected);
}

TEST(ResultsFile, CsvQuotesOnlyFieldsThatNeedIt) {
  TResultsTable table(PathRules::Posix);
  table.AppendImageRows({"/a,b/say \"hi\".jpg", "/plain/x.jpg"});
  table.SetImageCell(0, 3, "2,5");
  const QByteArray csv = ResultsFileBytes(table, ',');
  EXPECT_EQ(csv, QByteArray("No.,Path,File Name,Dots/cm\r\n"
                            "1,\"/a,b\",\"say \"\"hi\"\".jpg\",\"2,5\"\r\n"
                            "2,/plain,x.jpg,\r\n"));
  // The tab-separated layout stays byte for byte.
  EXPECT_EQ(ResultsFileBytes(table, '\t').split('\n').at(1), QByteArray("1\t/a,b\tsay \"hi\".jpg\t2,5\r"));

  // A real CSV reader gets the cells back.
  QTemporaryDir dir;
  const QString path = dir.filePath("r.csv");
  WriteBytes(path, csv);
  QProcess py;
  py.start("python3", {"-c",
                       "import csv,sys\n"
                       "rows=list(csv.reader(open(sys.argv[1],newline='')))\n"
                       "print(rows[1]==['1','/a,b','say \"hi\".jpg','2,5'] and len(rows)==3)",
                       path});
  ASSERT_TRUE(py.waitForFinished(20000));
  EXPECT_EQ(py.readAllStandardOutput().trimmed(), QByteArray("True"));
}

TEST(SaveCommands, FilterIndexDecidesTheLayoutNotTheExtension) {
  struct Case {
    const char *Name;
    int Filter;
    char Separator;
  };
  const Case cases[] = {{"a.txt", 2, ','}, {"b.csv", 1, '\t'}, {"c.csv", 3, '\t'}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    QTemporaryDir dir;
    ScriptedPrompter prompt;
    TForm1 form(prompt);
    FillWorkedExample(form);
    const QString path = dir.filePath(c.Name);
    prompt.AnswerFile(path, c.Filter);
    form.bbSaveClick();
    EXPECT_EQ(ReadAll(path), ResultsFileBytes(form.ResultsTable, c.Separator));
    EXPECT_FALSE(form.ResultsTable.DataChanged());
    // A second Save writes to the remembered name without asking.
    form.ResultsTable.SetImageCell(1, 4, "3");
    form.Menus().SaveData1->trigger();
    EXPECT_EQ(ReadAll(path), ResultsFileBytes(form.ResultsTable, c.Separator));
    EXPECT_TRUE(prompt.FileDialogs.empty());
  }
}

TEST(SaveCommands, FailuresReportKeepDataChangedAndTheOldFile) {
  QTemporaryDir dir;
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  FillWorkedExample(form);

  const QString missingFolder = dir.filePath("nope/r.txt");
  prompt.AnswerFile(missingFolder);
  EXPECT_FALSE(form.bbSaveClick());
  ASSERT_EQ(prompt.Messages.size(), 1u);
  EXPECT_EQ(prompt.Messages[0].Text, "Cannot Open" + missingFolder);
  EXPECT_EQ(prompt.Messages[0].Title, "File Error");
  EXPECT_TRUE(form.ResultsTable.DataChanged());
  // Save again tries the same name, without a dialog.
  EXPECT_FALSE(form.bbSaveClick());
  EXPECT_EQ(prompt.Messages.size(), 2u);
  EXPECT_EQ(prompt.Messages[1].Text, "Cannot Open" + missingFolder);

  const QString readOnly = dir.filePath("ro.txt");
  WriteBytes(readOnly, "old results");
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadUser);
  prompt.AnswerFile(readOnly);
  EXPECT_FALSE(form.Saveas1Click());
  EXPECT_EQ(prompt.Messages.back().Text, "Cannot Open" + readOnly);
  EXPECT_EQ(ReadAll(readOnly), QByteArray("old results"));
  EXPECT_TRUE(form.ResultsTable.DataChanged());

  // A save cancelled in the dialog writes nothing and keeps the remembered name.
  prompt.CancelFile();
  EXPECT_FALSE(form.Saveas1Click());
  EXPECT_EQ(form.Choosers().SaveDialog1.FileName, readOnly);

  // The figures file beside it cannot be replaced: the results file written
  // first is put back as it was, and a new one taken away again. One that
  // could not be read whole before (here a pipe, which no reader waits on)
  // cannot be put back: the new one stays rather than neither.
  enum Old { Existed, New, Unreadable };
  for (const Old old : {Existed, New, Unreadable}) {
    const QString results = dir.filePath(QStringLiteral("results%1.txt").arg(int(old)));
    if (old == Existed) WriteBytes(results, "old results");
    if (old == Unreadable) ASSERT_EQ(::mkfifo(QFile::encodeName(results).constData(), 0600), 0);
    WriteBytes(FiguresFileName(results), "old figures");
    QFile::setPermissions(FiguresFileName(results), QFileDevice::ReadOwner | QFileDevice::ReadUser);
    prompt.AnswerFile(results);
    EXPECT_FALSE(form.Saveas1Click());
    EXPECT_EQ(prompt.Messages.back().Text, "Cannot Open" + FiguresFileName(results));
    const QByteArray expected[] = {"old results", "<missing>", ResultsFileBytes(form.ResultsTable, '\t')};
    EXPECT_EQ(ReadAll(results), expected[old]);
    EXPECT_EQ(ReadAll(FiguresFileName(results)), QByteArray("old figures"));
    EXPECT_TRUE(form.ResultsTable.DataChanged());
  }
}

TEST(SaveCommands, CloseQuestion) {
  QTemporaryDir dir;
  {  // Nothing is asked at start.
    ScriptedPrompter prompt;
    TForm1 form(prompt);
    bool can = false;
    form.FormCloseQuery(can);
    EXPECT_TRUE(can);
    EXPECT_TRUE(prompt.Questions.empty());
  }
  {  // Cancel keeps the window; No closes without writing.
    ScriptedPrompter prompt;
    TForm1 form(prompt);
    FillWorkedExample(form);
    prompt.Answers = {mrCancel, mrNo};
    bool can = true;
    form.FormCloseQuery(can);
    EXPECT_FALSE(can);
    EXPECT_TRUE(form.ResultsTable.DataChanged());
    form.FormCloseQuery(can);
    EXPECT_TRUE(can);
    ASSERT_EQ(prompt.Questions.size(), 2u);
    EXPECT_EQ(prompt.Questions[0], (ScriptedPrompter::Shown{"File has changed, save?", "Confirm"}));
  }
  {  // Yes with no name opens the dialog; cancelling it keeps the window open.
    ScriptedPrompter prompt;
    TForm1 form(prompt);
    FillWorkedExample(form);
    prompt.Answers = {mrYes, mrYes};
    prompt.CancelFile();
    bool can = true;
    form.FormCloseQuery(can);
    EXPECT_FALSE(can);
    // Yes with a good name saves and closes; afterwards nothing is asked.
    const QString path = dir.filePath("r.txt");
    prompt.AnswerFile(path);
    form.FormCloseQuery(can);
    EXPECT_TRUE(can);
    EXPECT_EQ(ReadAll(path), ResultsFileBytes(form.ResultsTable, '\t'));
    form.FormCloseQuery(can);
    EXPECT_TRUE(can);
    EXPECT_EQ(prompt.Questions.size(), 2u);
  }
}

// A file saved again keeps what the user gave it: its permissions, and a
// link stays a link to the file that is replaced. Nothing is left beside it.
TEST(SaveCommands, SavingAgainKeepsPermissionsAndLinks) {
  QTemporaryDir dir;
  const QString shared = dir.filePath("shared.txt"), target = dir.filePath("target.txt"),
                link = dir.filePath("link.txt");
  WriteBytes(shared, "old");
  ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0640), 0);
  WriteBytes(target, "old");
  ASSERT_TRUE(QFile::link(target, link));
  EXPECT_EQ(SaveFile(shared, "new shared"), SaveOutcome::Saved);
  EXPECT_EQ(SaveFile(link, "new target"), SaveOutcome::Saved);
  struct stat st;
  ASSERT_EQ(::stat(QFile::encodeName(shared).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadAll(shared), QByteArray("new shared"));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(ReadAll(target), QByteArray("new target"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System), (QStringList{"link.txt", "shared.txt", "target.txt"}));
}

// The two tests below make the failures a user meets (a full disk, a folder
// without write access) with the POSIX file-size limit and user switching.
#ifdef Q_OS_UNIX
// A file system that refuses more bytes part-way through the save (here the
// process's file-size limit, which fails writes with EFBIG exactly as a full
// disk fails them with ENOSPC) is reported, and the old file stays whole.
TEST(SaveCommands, DiskFullPartWayKeepsTheOldFile) {
  QTemporaryDir dir;
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  FillWorkedExample(form);
  QStringList many;
  for (int i = 0; i < 4000; ++i) many << QStringLiteral("/photos/a/long/folder/name/leaf%1.jpg").arg(i);
  form.ResultsTable.AppendImageRows(many);
  ASSERT_GT(ResultsFileBytes(form.ResultsTable, '\t').size(), 100000);
  const QString path = dir.filePath("r.txt");
  WriteBytes(path, "previous results\r\n");

  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 32768;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  prompt.AnswerFile(path);
  const bool saved = form.bbSaveClick();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  ASSERT_EQ(prompt.Messages.size(), 1u);
  EXPECT_EQ(prompt.Messages[0].Text, "Cannot write " + path);
  EXPECT_EQ(prompt.Messages[0].Title, "File Error");
  EXPECT_TRUE(form.ResultsTable.DataChanged());
  EXPECT_EQ(ReadAll(path), QByteArray("previous results\r\n"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"r.txt"});  // no half-written file left
  // Once there is room again, Save writes the same name and layout.
  EXPECT_TRUE(form.bbSaveClick());
  EXPECT_EQ(ReadAll(path), ResultsFileBytes(form.ResultsTable, '\t'));
  EXPECT_FALSE(form.ResultsTable.DataChanged());
}

namespace {
// In a folder where the user may not create files, saving over the results
// file and the definition file that are already there writes them in place;
// a new file cannot be made there and is reported.
void SaveInReadOnlyFolder(const QString &folder) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  FillWorkedExample(form);
  const QString results = folder + "/r.csv", definitions = folder + "/d.dfn", fresh = folder + "/new.txt";
  prompt.AnswerFile(results, 2);
  EXPECT_TRUE(form.bbSaveClick());
  EXPECT_EQ(ReadAll(results), ResultsFileBytes(form.ResultsTable, ','));
  prompt.AnswerFile(definitions);
  form.SaveDef1Click();
  EXPECT_EQ(ReadAll(definitions), QByteArray("1\r\nLine1\t0\t0\t0\t0\t0\r\n"));
  prompt.AnswerFile(fresh);
  EXPECT_FALSE(form.Saveas1Click());
  EXPECT_EQ(prompt.Messages, (std::vector<ScriptedPrompter::Shown>{{"Cannot Open" + fresh, "File Error"}}));
  EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{"d.dfn", "r.csv", "r.csv.figures.json"}));
}
}  // namespace

// Run by a user without write access to the folder. The administrator passes
// every permission check, so as root the test runs itself again as "nobody".
TEST(SaveCommands, ReadOnlyFolderSavesExistingFilesInPlace) {
  const QByteArray given = qgetenv("SCALIPER_READONLY_FOLDER");
  if (!given.isEmpty()) return SaveInReadOnlyFolder(QString::fromLocal8Bit(given));
  QTemporaryDir dir;
  const QString folder = dir.filePath("shared");
  ASSERT_TRUE(QDir().mkdir(folder));
  // The figures file goes with the results file: in a folder where no new
  // file can be made, both must be there to be written in place.
  for (const char *name : {"r.csv", "r.csv.figures.json", "d.dfn"}) {
    WriteBytes(folder + "/" + name, "older and longer contents\r\n");
    QFile::setPermissions(folder + "/" + name, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                   QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther);
  }
  const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                        QFile::ReadOther | QFile::ExeOther;
  QFile::setPermissions(folder, readOnly);
  if (geteuid() != 0) {
    SaveInReadOnlyFolder(folder);
  } else {
    QFile::setPermissions(dir.path(), readOnly | QFile::WriteOwner);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SCALIPER_READONLY_FOLDER", folder);
    env.insert("HOME", dir.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QCoreApplication::applicationFilePath(),
                            "--gtest_filter=SaveCommands.ReadOnlyFolderSavesExistingFilesInPlace"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
  }
  QFile::setPermissions(folder, readOnly | QFile::WriteOwner);
}
#endif
