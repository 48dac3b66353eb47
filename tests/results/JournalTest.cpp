// The journal of a sitting when the disk fails it: an append that fails
// half-way is cut back off and written with the next one, a journal that
// could not be made is made with everything as soon as it can be, and a
// journal left over is held by the one copy of the program that offers it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <sys/resource.h>

#include "results/SittingLog.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestFiles.h"

namespace {
struct DataHome {
  QTemporaryDir Dir;
  DataHome() { qputenv("XDG_DATA_HOME", Dir.path().toLocal8Bit()); }
};

TRecordEntry Images(const QStringList &files) {
  TRecordEntry e;
  e.Kind = TRecordEntry::Images;
  e.Files = files;
  return e;
}

TRecordEntry Scale(int image, const char *text) {
  TRecordEntry e;
  e.Kind = TRecordEntry::Scale;
  e.Image = image;
  e.ScaleValue = {{1, 1}, {121, 1}, 10, 12, QString::fromLatin1(text)};
  return e;
}

// The entries a journal holds, as their lines.
QByteArray Lines(const std::vector<TRecordEntry> &entries) {
  QByteArray out;
  for (const TRecordEntry &e : entries) out += JournalLine(e);
  return out;
}

QByteArray Entries(const QString &journal) {
  const JournalContents read = ReadJournal(ReadAll(journal));
  EXPECT_TRUE(read.Readable) << read.Problem.toStdString();
  EXPECT_FALSE(read.LastLineDropped);
  return Lines(read.Entries);
}

// Lets a file grow to `bytes` only: a write past it writes what fits and
// the next one fails, as on a disk that fills up part-way.
struct FileSizeLimit {
  struct rlimit Old {};
  void (*OldHandler)(int) = nullptr;
  explicit FileSizeLimit(qint64 bytes) {
    getrlimit(RLIMIT_FSIZE, &Old);
    OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = Old;
    small.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);
  }
};

// A prompter that does something of its own while a question is on the screen.
struct BusyPrompter : ScriptedPrompter {
  std::function<void()> WhileAsked;
  ModalResult Ask(const QString &text, const QString &title, bool withCancel) override {
    if (WhileAsked) WhileAsked();
    return ScriptedPrompter::Ask(text, title, withCancel);
  }
};
}  // namespace

// A disk that fills up in the middle of an entry: the half line is cut off
// again and reported once; the entry goes to the disk with the next one, so
// that the journal reads back whole and in order; a later failure is
// reported again.
TEST(Journal, AppendThatFailsHalfWayIsCutBackAndWrittenWithTheNext) {
  DataHome home;
  ScriptedPrompter prompt;
  TSittingLog log(prompt);
  const std::vector<TRecordEntry> entries = {Images({"/p/a.jpg", "/p/b.jpg"}), Scale(0, "12"), Scale(1, "15"),
                                             Scale(0, "13")};
  log.Remember({entries[0]});
  const QString journal = log.Journal.Path();
  const qint64 whole = QFileInfo(journal).size();
  {
    FileSizeLimit limit(whole + 10);
    log.Remember({entries[1]});
  }
  const std::vector<ScriptedPrompter::Shown> reported = {{"Cannot write " + journal, "File Error"}};
  EXPECT_EQ(prompt.Messages, reported);
  EXPECT_EQ(QFileInfo(journal).size(), whole);
  EXPECT_EQ(Entries(journal), Lines({entries[0]}));

  log.Remember({entries[2]});
  EXPECT_EQ(Entries(journal), Lines({entries[0], entries[1], entries[2]}));
  EXPECT_EQ(prompt.Messages, reported);

  {
    FileSizeLimit limit(QFileInfo(journal).size() + 10);
    log.Remember({entries[3]});
  }
  EXPECT_EQ(prompt.Messages.size(), 2u);
  EXPECT_EQ(Entries(journal), Lines({entries[0], entries[1], entries[2]}));
  log.Remember({Scale(1, "16")});
  EXPECT_EQ(Entries(journal), Lines({entries[0], entries[1], entries[2], entries[3], Scale(1, "16")}));
}

// A journal that cannot be made when the sitting begins (here something
// else stands where its folder belongs) is reported, and made as soon as
// it can be, with the definitions and images recorded before.
TEST(Journal, MadeLateWithEverythingRecordedBefore) {
  DataHome home;
  ScriptedPrompter prompt;
  TSittingLog log(prompt);
  const std::vector<TRecordedDefinition> defs = {{"Stem", 0, false, false, false, false}};
  log.Definitions = [&] { return defs; };
  QDir().mkpath(QFileInfo(TJournal::Folder()).absolutePath());
  WriteBytes(TJournal::Folder(), "in the way");
  log.Remember({Images({"/p/a.jpg"})});
  EXPECT_EQ(prompt.Messages,
            (std::vector<ScriptedPrompter::Shown>{{"Cannot write " + TJournal::Folder(), "File Error"}}));
  ASSERT_TRUE(QFile::remove(TJournal::Folder()));

  log.Remember({Scale(0, "12")});
  EXPECT_EQ(prompt.Messages.size(), 1u);
  TRecordEntry definitions;
  definitions.Kind = TRecordEntry::Definitions;
  definitions.Defs = defs;
  EXPECT_EQ(Entries(log.Journal.Path()), Lines({definitions, Images({"/p/a.jpg"}), Scale(0, "12")}));
  EXPECT_EQ(QDir(TJournal::Folder()).entryList(QDir::Files), QStringList{QFileInfo(log.Journal.Path()).fileName()});
}

// While one copy of the program asks whether to bring a sitting back, and
// after it did, another finds nothing to offer; the sitting goes on in the
// journal it came from, under its name, and a normal end removes it.
TEST(Journal, OneCopyOffersAndRestoresASitting) {
  DataHome home;
  QDir().mkpath(TJournal::Folder());
  const QString left = TJournal::Folder() + "/sitting-20260101-000000-000-1.journal";
  const std::vector<TRecordEntry> entries = {Images({"/p/a.jpg"}), Scale(0, "12")};
  WriteBytes(left, JournalHeader(QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC)) + Lines(entries));

  BusyPrompter first;
  ScriptedPrompter second;
  TSittingLog firstLog(first), secondLog(second);
  const auto nothing = [](const std::vector<TRecordEntry> &) { ADD_FAILURE() << "restored twice"; };
  first.Answers.push_back(mrYes);
  first.WhileAsked = [&] {
    EXPECT_TRUE(TJournal::LeftOver().isEmpty());
    EXPECT_FALSE(OfferLeftOverSitting(second, secondLog, nothing));
  };
  std::vector<TRecordEntry> restored;
  ASSERT_TRUE(OfferLeftOverSitting(first, firstLog, [&](const std::vector<TRecordEntry> &e) {
    restored = e;
    for (const TRecordEntry &x : e) firstLog.Record.Apply(x);
  }));
  EXPECT_EQ(Lines(restored), Lines(entries));
  EXPECT_TRUE(second.Questions.empty());
  EXPECT_EQ(firstLog.Journal.Path(), left);
  EXPECT_TRUE(first.Messages.empty());

  first.WhileAsked = nullptr;
  EXPECT_FALSE(OfferLeftOverSitting(second, secondLog, nothing));
  EXPECT_TRUE(TJournal::LeftOver().isEmpty());
  firstLog.Remember({Scale(0, "13")});
  EXPECT_EQ(Entries(left), Lines({entries[0], entries[1], Scale(0, "13")}));
  EXPECT_EQ(QDir(TJournal::Folder()).entryList(QDir::Files), QStringList{QFileInfo(left).fileName()});
  firstLog.Journal.Finish();
  EXPECT_TRUE(QDir(TJournal::Folder()).entryList(QDir::Files).isEmpty());
}
