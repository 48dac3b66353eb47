// The program itself, killed in the middle of a sitting: started as a person
// starts it, on the X server, driven by real keys and pointer movements,
// killed with SIGKILL between two OKs and started again.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <X11/keysym.h>

#include <csignal>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

#include "app/ProgramInfo.h"
#include "results/Journal.h"
#include "results/Record.h"
#include "tests/desktop/Desktop.h"
#include "tests/support/SampleImages.h"
#include "tests/support/TestFiles.h"

namespace {
const QString kMainTitle = QString::fromLatin1(ProgramInfo::Title);

// The program, run with the user's data folder of this test. (Started with
// posix_spawn rather than QProcess: this runs on the person's thread, which
// has no event loop for a QProcess's helpers.)
struct Scaliper {
  pid_t Pid = -1;
  explicit Scaliper(const QString &dataHome) {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
      if (std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
        env.emplace_back(*e);
    env.push_back("XDG_DATA_HOME=" + dataHome.toStdString());
    env.push_back("QT_QPA_PLATFORM=xcb");
    std::vector<char *> envp;
    for (std::string &e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char program[] = SCALIPER_PROGRAM;
    char *argv[] = {program, nullptr};
    if (posix_spawn(&Pid, program, nullptr, nullptr, argv, envp.data()) != 0) Pid = -1;
  }
  // Kills it with `signal` and waits until it is gone; false when it was not running.
  bool Kill(int signal) {
    if (Pid <= 0) return false;
    ::kill(Pid, signal);
    return WaitForExit();
  }
  bool WaitForExit(double seconds = 20) {
    const bool gone = XDesktop::WaitUntil([&] { return waitpid(Pid, nullptr, WNOHANG) == Pid; }, seconds);
    if (gone) Pid = -1;
    return gone;
  }
  ~Scaliper() { Kill(SIGKILL); }
};

// Waits until keys typed now go to `w` of the other program: the window
// system gives it the keyboard, and the program has a moment to take it.
bool WaitForKeys(XDesktop &d, XWindow w) {
  if (!XDesktop::WaitUntil([&] { return d.HasFocus(w); })) return false;
  QThread::msleep(300);
  return true;
}

XWindow MainWindow(XDesktop &d) {
  XWindow found = 0;
  XDesktop::WaitUntil([&] {
    for (XWindow w : d.Clients())
      if (d.NetWmName(w) == kMainTitle) found = w;
    return found != 0;
  });
  return found;
}

// Waits for a window the program opens over the main window (a dialog, a
// question or the OK/Retry pop-up) and answers it with Enter.
void AnswerWithEnter(XDesktop &d, XWindow main, const QString &title) {
  const XWindow w = d.WaitForNewClient({main}, 20);
  ASSERT_NE(w, 0u) << "no window " << title.toStdString();
  if (!title.isNull()) EXPECT_EQ(d.NetWmName(w), title);
  ASSERT_TRUE(WaitForKeys(d, w));
  d.Key(XK_Return);
  ASSERT_TRUE(d.WaitForGone(w));
}

void Drag(XDesktop &d, QPoint from, QPoint to) {
  d.MoveTo(from);
  d.Press();
  d.MoveTo((from + to) / 2);
  d.MoveTo(to);
  d.Release();
}

void Keys(XDesktop &d, XWindow main, int modifiers, unsigned long key) {
  ASSERT_TRUE(WaitForKeys(d, main));
  if (modifiers) d.HoldModifiers(modifiers, true);
  d.Key(key);
  if (modifiers) d.HoldModifiers(modifiers, false);
}

// On the image shown: Measure, the scale, then each line definition whose
// figure `lines` gives, each confirmed with OK, in picture points from the
// view's top-left corner.
void Measure(XDesktop &d, XWindow main, const std::vector<std::pair<QPoint, QPoint>> &lines) {
  // The view lies right of the step panels and below the menu and tool bars.
  const QPoint view = d.ClientRect(main).topLeft() + QPoint(130, 70);
  Keys(d, main, XDesktop::Control, XK_m);
  Drag(d, view + QPoint(10, 10), view + QPoint(210, 10));
  AnswerWithEnter(d, main, QStringLiteral("ConvDlg"));
  for (const auto &[a, b] : lines) {
    Drag(d, view + a, view + b);
    AnswerWithEnter(d, main, QString());
  }
}

bool WaitForFile(const QString &path) {
  return XDesktop::WaitUntil([&] { return QFile::exists(path); }, 20);
}
}  // namespace

// Three images measured, the program killed with SIGKILL between two OKs on
// the third, started again and the sitting brought back: Save then writes
// what a save just before the kill wrote, figures file and all; and a normal
// end then leaves no journal behind.
TEST(Kill, SittingKilledBetweenTwoOksComesBackWhole) {
  QTemporaryDir dir;
  const QString dataHome = dir.filePath("data"), results = dir.filePath("run.txt");
  qputenv("XDG_DATA_HOME", dataHome.toLocal8Bit());
  // What the person did before: two line definitions, three pictures opened
  // and a results file named. The program's own journal brings it in.
  std::vector<TRecordEntry> before(3);
  before[0].Kind = TRecordEntry::Definitions;
  before[0].Defs = {{"Stem", 0, false, false, false, false}, {"Blade", 0, false, false, false, false}};
  before[1].Kind = TRecordEntry::Images;
  for (int i = 1; i <= 3; ++i) {
    before[1].Files << dir.filePath(QStringLiteral("leaf%1.jpg").arg(i));
    WriteBytes(before[1].Files.last(), MakeJpeg(JpegKind::Baseline, 400, 300, qRgb(40, 60 * i, 50)));
  }
  before[2].Kind = TRecordEntry::Saved;
  before[2].File = results;
  before[2].FilterIndex = 1;
  QByteArray journal = JournalHeader(QDateTime::currentDateTime());
  for (const TRecordEntry &e : before) journal += JournalLine(e);
  ASSERT_TRUE(QDir().mkpath(TJournal::Folder()));
  WriteBytes(TJournal::Folder() + "/sitting-20260101-000000-000-1.journal", journal);

  // The person at the screen works from a thread of their own, while the
  // test's own event loop turns.
  AsUser([] {}, [&](XDesktop &d) {
    QByteArray savedBeforeKill, figuresBeforeKill;
    {
      Scaliper first(dataHome);
      const XWindow main = MainWindow(d);
      ASSERT_NE(main, 0u);
      AnswerWithEnter(d, main, QStringLiteral("Confirm"));  // bring the sitting back: Yes
      Keys(d, main, 0, XK_Next);                             // Start
      AnswerWithEnter(d, main, QStringLiteral("Confirm"));
      for (int i = 0; i < 2; ++i) {
        Measure(d, main, {{{20 + 10 * i, 40}, {150, 90}}, {{30, 120}, {250 - 20 * i, 200}}});
        if (HasFatalFailure()) return;
        Keys(d, main, 0, XK_Next);
      }
      Measure(d, main, {{{40, 60}, {170, 130}}});
      if (HasFatalFailure()) return;
      Keys(d, main, XDesktop::Control, XK_s);
      ASSERT_TRUE(WaitForFile(FiguresFileName(results)));
      savedBeforeKill = ReadAll(results);
      figuresBeforeKill = ReadAll(FiguresFileName(results));
      // Two images measured whole, the third up to its first line.
      const QList<QByteArray> rows = savedBeforeKill.split('\n');
      ASSERT_EQ(rows.size(), 5);
      for (int r = 1; r <= 3; ++r) {
        const QList<QByteArray> cells = rows[r].chopped(1).split('\t');
        ASSERT_EQ(cells.size(), 6) << rows[r].constData();
        EXPECT_FALSE(cells[3].isEmpty() || cells[4].isEmpty()) << rows[r].constData();
        EXPECT_EQ(cells[5].isEmpty(), r == 3) << rows[r].constData();
      }
      ASSERT_TRUE(first.Kill(SIGKILL));
    }
    ASSERT_TRUE(QFile::remove(results) && QFile::remove(FiguresFileName(results)));
    ASSERT_EQ(TJournal::LeftOver().size(), 1);

    Scaliper again(dataHome);
    const XWindow main = MainWindow(d);
    ASSERT_NE(main, 0u);
    AnswerWithEnter(d, main, QStringLiteral("Confirm"));
    // Start shows the first image with its figures drawn at once.
    Keys(d, main, 0, XK_Next);
    AnswerWithEnter(d, main, QStringLiteral("Confirm"));
    const auto yellowShown = [&] {
      const QImage shown = d.Grab(QRect(d.ClientRect(main).topLeft() + QPoint(130, 70), QSize(300, 220)));
      for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
          if (shown.pixel(x, y) == qRgb(255, 255, 0)) return true;
      return false;
    };
    EXPECT_TRUE(XDesktop::WaitUntil(yellowShown, 5)) << "the first image's figures are not drawn";
    Keys(d, main, XDesktop::Control, XK_s);
    ASSERT_TRUE(WaitForFile(FiguresFileName(results)));
    EXPECT_EQ(ReadAll(results), savedBeforeKill);
    EXPECT_EQ(ReadAll(FiguresFileName(results)), figuresBeforeKill);
    Keys(d, main, XDesktop::Control, XK_q);
    ASSERT_TRUE(again.WaitForExit());
    EXPECT_TRUE(QDir(TJournal::Folder()).entryList({"sitting-*"}, QDir::Files).isEmpty());
  });
}
