// One file operation of the program, driven through the real main window
// in a scratch folder, for the fault test (tests/faults/run-fault-test),
// which runs it under strace with a failure or a kill injected into one
// of its system calls. Everything it sees goes to standard output, one
// JSON object a line, each written at once, so that what was printed
// before a kill is there after it.
//
//   scaliper_fault_driver OPERATION prepare FOLDER   the files as they were before
//   scaliper_fault_driver OPERATION run FOLDER       the operation, then a save that
//                                                    must succeed, more work, and a kill
//   scaliper_fault_driver OPERATION restart FOLDER   the program started again
//
// OPERATION: save, save-as, journal, continue, restore, export, definitions.
// The files the operation writes are under FOLDER/files; the user's data
// folder (and with it the journals) is FOLDER/data.
#include <QByteArray>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>

#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <unistd.h>

#include "app/Form1.h"
#include "app/ScaliperApplication.h"
#include "common/WholeFile.h"
#include "measuring/ConvDlg.h"
#include "results/Journal.h"
#include "results/Record.h"
#include "results/ResultsFileWriter.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SampleImages.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
QString Folder;  // the scratch folder
QString Files() { return Folder + QStringLiteral("/files"); }
QString FilePath(const QString &name) { return Files() + u'/' + name; }

void Emit(const QJsonObject &o) {
  const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
  WriteAll(1, line.constData(), line.size());
}

// The marks between which the operation runs: the fault test injects only
// into the calls between them.
void Mark(const char *text) { WriteAll(1, text, qint64(std::strlen(text))); }

// The person at the screen: Yes to every question, the file choosers and
// dialogs as scripted.
struct Person : ScriptedPrompter {
  ModalResult Ask(const QString &text, const QString &title, bool) override {
    Questions.push_back({text, title});
    return mrYes;
  }
};

QJsonArray Messages(const Person &p, size_t from = 0) {
  QJsonArray out;
  for (size_t k = from; k < p.Messages.size(); ++k)
    out.append(QJsonObject{{"title", p.Messages[k].Title}, {"text", p.Messages[k].Text}});
  return out;
}

// What the sitting holds: its table, the record of its figures and the
// file Save writes to.
QJsonObject State(TForm1 &form) {
  QStringList names;
  for (int i = 0; i < form.ResultsTable.ImageCount; ++i)
    names << form.ResultsTable.Cell(TResultsTable::colFileName, i + 1);
  return QJsonObject{{"k", "state"},
                     {"table", QString::fromUtf8(ResultsFileBytes(form.ResultsTable, '\t'))},
                     {"figures", QString::fromUtf8(FiguresFileBytes(form.Log().Record, names))},
                     {"save", form.Choosers().SaveDialog1.FileName}};
}

// Every file under FOLDER/files with the digest of its bytes.
QJsonObject FileDigests() {
  QJsonObject files;
  QDirIterator it(Files(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile f(path);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    files.insert(QDir(Files()).relativeFilePath(path),
                 QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()));
  }
  return QJsonObject{{"k", "files"}, {"files", files}};
}

// ---- The sitting the operations start from ------------------------------------

TRecordEntry Scale(int image, double dots, const char *text) {
  TRecordEntry e;
  e.Kind = TRecordEntry::Scale;
  e.Image = image;
  e.ScaleValue = {{1, 1}, {1 + dots, 1}, 10, dots / 10, QString::fromLatin1(text)};
  return e;
}

TRecordEntry Figure(int image, int definition, int kind, std::vector<QPointF> points, int column,
                    QStringList cells, QStringList units) {
  TRecordEntry e;
  e.Kind = TRecordEntry::Figure;
  e.Image = image;
  e.FigureValue = {definition, definition == 1 ? "Stem" : "Leaf", kind, std::move(points), column, cells, units};
  return e;
}

// Two images, a line Stem and a rectangle Leaf with height, width and
// area; `whole`: both images measured, else only the first one's scale
// and stem (the sitting an older file was saved from).
std::vector<TRecordEntry> Sitting(bool whole) {
  std::vector<TRecordEntry> out(2);
  out[0].Kind = TRecordEntry::Definitions;
  out[0].Defs = {{"Stem", 0, false, false, false, false}, {"Leaf", 2, true, true, false, true}};
  out[1].Kind = TRecordEntry::Images;
  out[1].Files = QStringList{FilePath("leaf1.jpg"), FilePath("leaf2.jpg")};
  out.push_back(Scale(0, 120, "12"));
  out.push_back(Figure(0, 1, 0, {{10, 10}, {50, 40}}, 4, {"4.1667"}, {"cm"}));
  if (!whole) return out;
  out.push_back(Figure(0, 2, 2, {{20, 20}, {60, 50}}, 5, {"2.5", "3.3333", "8.3333"}, {"cm", "cm", "cm\u00b2"}));
  out.push_back(Scale(1, 150, "15"));
  out.push_back(Figure(1, 1, 0, {{10, 10}, {100, 10}}, 4, {"6"}, {"cm"}));
  return out;
}

TRecordEntry Saved(const QString &file, int filter) {
  TRecordEntry e;
  e.Kind = TRecordEntry::Saved;
  e.File = file;
  e.FilterIndex = filter;
  return e;
}

void WriteLeftOverJournal(const std::vector<TRecordEntry> &entries) {
  QByteArray bytes = JournalHeader(QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC));
  for (const TRecordEntry &e : entries) bytes += JournalLine(e);
  QDir().mkpath(TJournal::Folder());
  SaveFile(TJournal::Folder() + QStringLiteral("/sitting-20260101-080000-000-1.journal"), bytes);
}

void AddStemAndLeaf(TForm1 &form) {
  AddDefinition(form.DefinitionList, form.ResultsTable, "Stem", mkLine, false, false, false, false);
  AddDefinition(form.DefinitionList, form.ResultsTable, "Leaf", mkRectangle, true, true, false, true);
}

// The files as they were before the operation.
void Prepare(const QString &op) {
  QDir().mkpath(Files() + QStringLiteral("/export"));
  for (int i = 1; i <= 3; ++i)
    SaveFile(FilePath(QStringLiteral("leaf%1.jpg").arg(i)), MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 50 * i, 50)));
  {
    // An older save and export of the batch, and an older definition file.
    Person person;
    TForm1 form(person);
    form.RestoreEntries(Sitting(false));
    person.AnswerFile(FilePath("run.txt"), 1);
    form.bbSaveClick();
    person.Folders.push_back(Files() + QStringLiteral("/export"));
    form.ExportAnnotated1Click();
    Settle(form);
    // Longer than the one the operation writes, so that new bytes written
    // over it in place would leave old ones behind.
    TForm1 one(person);
    for (const char *name : {"Stem", "Petiole", "Midrib"})
      AddDefinition(one.DefinitionList, one.ResultsTable, name, mkLine, false, false, false, false);
    person.AnswerFile(FilePath("set.dfn"));
    one.SaveDef1Click();
    form.Log().Journal.Finish();
  }
  QDir(Folder + QStringLiteral("/data")).removeRecursively();
  // The sitting the operation works in, left by a program that stopped.
  if (op == QLatin1String("save")) {
    std::vector<TRecordEntry> entries = Sitting(true);
    entries.push_back(Saved(FilePath("run.txt"), 1));
    WriteLeftOverJournal(entries);
  } else if (op == QLatin1String("save-as") || op == QLatin1String("export") || op == QLatin1String("restore")) {
    WriteLeftOverJournal(Sitting(true));
  }
}

// ---- The operations ---------------------------------------------------------------

struct Operation {
  std::function<void(TForm1 &, Person &)> Setup;   // before the operation
  std::function<bool(TForm1 &, Person &)> Run;     // the operation; emits a state after each step it records
  // Once the fault is gone: the operation again, or a save after those
  // that write only the journal; must succeed.
  std::function<bool(TForm1 &, Person &)> Again;
};

bool NoMessages(const Person &p, size_t before) { return p.Messages.size() == before; }

void Drag(TForm1 &form, QPoint from, QPoint to) {
  form.PaintBox1MouseDown(Qt::LeftButton, from.x(), from.y());
  form.PaintBox1MouseMove(to.x(), to.y());
  form.PaintBox1MouseUp(Qt::LeftButton, to.x(), to.y());
}

std::map<QString, Operation> Operations() {
  const auto restoreLeftOver = [](TForm1 &form, Person &) { form.OfferLeftOverJournal(); };
  const auto defineOnly = [](TForm1 &form, Person &) { AddStemAndLeaf(form); };
  const auto exportTo = [](TForm1 &form, Person &p) {
    const size_t before = p.Messages.size();
    p.Folders.push_back(Files() + QStringLiteral("/export"));
    form.ExportAnnotated1Click();
    Settle(form);
    return NoMessages(p, before);
  };
  const auto saveAs = [](TForm1 &form, Person &p) {
    p.AnswerFile(FilePath("other.csv"), 2);
    const bool ok = form.Saveas1Click();
    Emit(State(form));
    return ok;
  };
  const auto saveDefinitions = [](TForm1 &form, Person &p) {
    const size_t before = p.Messages.size();
    p.AnswerFile(FilePath("set.dfn"));
    form.SaveDef1Click();
    return NoMessages(p, before);
  };
  // Save; where the sitting names no file yet, to run.txt beside the images.
  const auto save = [](TForm1 &form, Person &p) {
    if (form.Choosers().SaveDialog1.FileName.isEmpty()) p.AnswerFile(FilePath("run.txt"), 1);
    const bool ok = form.bbSaveClick();
    Emit(State(form));
    return ok;
  };
  std::map<QString, Operation> ops;
  ops["save"] = {restoreLeftOver, save, save};
  ops["save-as"] = {restoreLeftOver, saveAs, saveAs};
  ops["export"] = {restoreLeftOver, exportTo, exportTo};
  ops["definitions"] = {defineOnly, saveDefinitions, saveDefinitions};
  ops["restore"] = {[](TForm1 &, Person &) {},
                    [](TForm1 &form, Person &p) {
                      const bool ok = form.OfferLeftOverJournal() && p.Messages.empty();
                      Emit(State(form));
                      return ok;
                    },
                    save};
  ops["continue"] = {defineOnly,
                     [](TForm1 &form, Person &p) {
                       p.AnswerFile(FilePath("run.txt"), 1);
                       form.ContinueResults1Click();
                       Emit(State(form));
                       return form.ResultsTable.ImageCount == 2 && p.Messages.empty();
                     },
                     save};
  // Open Images (twice), Start, a scale and a line confirmed with OK, the
  // line undone and done again: each recorded as it happens.
  ops["journal"] = {defineOnly,
                    [](TForm1 &form, Person &p) {
                      const size_t before = p.Messages.size();
                      // Two batches: the second one's entry is an append, and one
                      // written twice would give its rows twice.
                      for (const char *name : {"leaf1.jpg", "leaf2.jpg"}) {
                        p.AnswerFiles({FilePath(name)});
                        form.btOpenImagesClick();
                        Emit(State(form));
                      }
                      Next(form);  // Start: Yes
                      form.btMeasureClick();
                      p.Dialogs.push_back([](QDialog &d) {
                        dynamic_cast<TConvDlg &>(d).btOK->click();
                        return d.result();
                      });
                      Drag(form, {1, 1}, {121, 1});
                      Emit(State(form));
                      p.Press(mrOk);
                      Drag(form, {10, 10}, {50, 40});
                      Emit(State(form));
                      // Undo and Redo of that line: each journals the image's state.
                      const bool undone = form.Session().Undo();
                      Emit(State(form));
                      const bool redone = form.Session().Redo();
                      Emit(State(form));
                      return NoMessages(p, before) && undone && redone && form.Session().Step() == 1;
                    },
                    save};
  return ops;
}

// The operation under test, then, as the fault is gone, the same again or a
// save (which must succeed: the program is still usable), more work
// recorded in the journal, and the end no program chooses: SIGKILL.
int Run(const QString &op) {
  const std::map<QString, Operation> ops = Operations();
  const Operation &o = ops.at(op);
  if (op == QLatin1String("restore")) {
    // What the sitting left over holds was confirmed before this run.
    Person person;
    TForm1 before(person);
    QFile journal(TJournal::LeftOver().value(0));
    journal.open(QIODevice::ReadOnly);
    before.RestoreEntries(ReadJournal(journal.readAll()).Entries);
    Emit(State(before));
  }
  Person person;
  TForm1 form(person);
  o.Setup(form, person);
  Settle(form);
  Emit(State(form));
  const size_t before = person.Messages.size();
  Mark("@begin\n");
  const bool ok = o.Run(form, person);
  Mark("@end\n");
  Emit(QJsonObject{{"k", "result"}, {"ok", ok}, {"messages", Messages(person, before)}});
  Emit(FileDigests());
  const size_t afterRun = person.Messages.size();
  const bool again = o.Again(form, person);
  Emit(QJsonObject{{"k", "again"}, {"ok", again}, {"messages", Messages(person, afterRun)}});
  Emit(FileDigests());
  person.AnswerFiles({FilePath("leaf3.jpg")});
  form.btOpenImagesClick();
  Emit(State(form));
  Emit(QJsonObject{{"k", "killed"}});
  ::kill(::getpid(), SIGKILL);
  return 1;
}

// The program started again after the kill: the sitting offered back and
// answered Yes.
int Restart() {
  Person person;
  TForm1 form(person);
  const bool restored = form.OfferLeftOverJournal();
  Settle(form);
  QJsonArray questions;
  for (const auto &q : person.Questions) questions.append(q.Text);
  const QStringList journals = QDir(TJournal::Folder()).entryList({"sitting-*.journal"}, QDir::Files);
  QJsonObject state = State(form);
  state.insert("k", "restart");
  state.insert("restored", restored);
  state.insert("questions", questions);
  state.insert("messages", Messages(person));
  state.insert("journals", QJsonArray::fromStringList(journals));
  Emit(state);
  return 0;
}
}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s OPERATION prepare|run|restart FOLDER\n", argv[0]);
    return 2;
  }
  const QString op = QString::fromLocal8Bit(argv[1]), phase = QString::fromLocal8Bit(argv[2]);
  Folder = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();
  // Whatever the program keeps per user goes to this run's folders: the
  // data folder with the files under test, the others outside them.
  const QString home = Folder + QStringLiteral("/home");
  qputenv("XDG_DATA_HOME", (Folder + QStringLiteral("/data")).toLocal8Bit());
  for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
    const QString path = home + u'/' + QString::fromLatin1(name);
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv(name, path.toLocal8Bit());
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TScaliperApplication app(argc, argv);
  if (!Operations().count(op)) {
    std::fprintf(stderr, "unknown operation %s\n", argv[1]);
    return 2;
  }
  if (phase == QLatin1String("prepare")) {
    Prepare(op);
    return 0;
  }
  if (phase == QLatin1String("run")) return Run(op);
  if (phase == QLatin1String("restart")) return Restart();
  std::fprintf(stderr, "unknown phase %s\n", argv[2]);
  return 2;
}
