#include "tests/desktop/RealProgram.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QThread>

#include <X11/keysym.h>

#include <csignal>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

#include "app/ProgramInfo.h"

extern char **environ;

namespace {
const QString kMainTitle = QString::fromLatin1(ProgramInfo::Title);
}  // namespace

Scaliper::Scaliper(const QString &dataHome) {
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

bool Scaliper::Kill(int signal) {
  if (Pid <= 0) return false;
  ::kill(Pid, signal);
  return WaitForExit();
}

bool Scaliper::WaitForExit(double seconds) {
  const bool gone = XDesktop::WaitUntil([&] { return waitpid(Pid, nullptr, WNOHANG) == Pid; }, seconds);
  if (gone) Pid = -1;
  return gone;
}

bool WaitForKeys(XDesktop &d, XWindow w) {
  if (!XDesktop::WaitUntil([&] { return d.HasFocus(w); })) return false;
  QThread::msleep(300);
  return true;
}

XWindow MainWindow(XDesktop &d) {
  XWindow found = 0;
  XDesktop::WaitUntil([&] {
    // One shown: a window of an earlier test may still be on the list.
    for (XWindow w : d.Clients())
      if (d.NetWmName(w) == kMainTitle && d.Viewable(w)) found = w;
    return found != 0;
  });
  return found;
}

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

QPoint FindColour(XDesktop &d, XWindow w, QRgb colour) {
  const QRect area = d.ClientRect(w);
  const QImage shown = d.Grab(area);
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (shown.pixel(x, y) == (colour | 0xff000000u)) return area.topLeft() + QPoint(x, y);
  return QPoint();
}

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

bool WaitForFile(const QString &path) { return XDesktop::WaitUntil([&] { return QFile::exists(path); }, 20); }
