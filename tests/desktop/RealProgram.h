#pragma once
// The program itself on the X server, as a person starts and uses it from
// the outside: started in a data folder of the test's, its windows found,
// answered and driven with real pointer movements and keys.
#include <QPoint>
#include <QRgb>
#include <QString>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "tests/desktop/Desktop.h"

// The program, run with the user's data folder of this test. (Started with
// posix_spawn rather than QProcess: this runs on the person's thread, which
// has no event loop for a QProcess's helpers.)
struct Scaliper {
  pid_t Pid = -1;
  explicit Scaliper(const QString &dataHome);
  // Kills it with `signal` and waits until it is gone; false when it was not running.
  bool Kill(int signal);
  bool WaitForExit(double seconds = 20);
  ~Scaliper() { Kill(9); }
};

// Waits until keys typed now go to `w` of the other program: the window
// system gives it the keyboard, and the program has a moment to take it.
bool WaitForKeys(XDesktop &d, XWindow w);
// The program's main window.
XWindow MainWindow(XDesktop &d);
// Waits for a window the program opens over the main window (a dialog, a
// question or the OK/Retry pop-up) and answers it with Enter.
void AnswerWithEnter(XDesktop &d, XWindow main, const QString &title);
void Drag(XDesktop &d, QPoint from, QPoint to);
// A key, with modifiers held, once the main window has the keyboard.
void Keys(XDesktop &d, XWindow main, int modifiers, unsigned long key);
// Where on the screen, inside `w`, the first pixel of exactly `colour`
// shows (scanning rows from the top); a null point when none does.
QPoint FindColour(XDesktop &d, XWindow w, QRgb colour);
// On the image shown: Measure, the scale over 200 screen pixels answered
// with Enter (10 cm), then each line definition whose figure `lines` gives,
// each confirmed with OK, in points from about the view's top-left corner.
void Measure(XDesktop &d, XWindow main, const std::vector<std::pair<QPoint, QPoint>> &lines);
bool WaitForFile(const QString &path);
