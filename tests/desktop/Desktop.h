#pragma once
// The desktop as the person at the screen meets it: the windows the window
// manager lists, their titles, frames and stacking as the X server reports
// them, and pointer and key events sent through the server's test extension.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include "tests/support/QtPrinters.h"

#include <functional>
#include <ostream>
#include <vector>

// An X window id; Xlib itself is kept out of this header, since its macros
// clash with Qt's.
using XWindow = unsigned long;
struct _XDisplay;

class XDesktop {
public:
  XDesktop();  // its own connection to $DISPLAY, for one thread
  ~XDesktop();
  XDesktop(const XDesktop &) = delete;
  XDesktop &operator=(const XDesktop &) = delete;

  // ---- What the window system reports ---------------------------------------
  std::vector<XWindow> Clients();   // managed windows, as the window manager lists them
  std::vector<XWindow> Stacking();  // the same, bottom-most first
  std::vector<XWindow> Popups();    // unmanaged (override-redirect) windows shown now
  QString NetWmName(XWindow w);     // _NET_WM_NAME
  QString WmName(XWindow w);        // WM_NAME
  QString WmClassName(XWindow w);   // the class half of WM_CLASS
  QRect ClientRect(XWindow w);      // in screen coordinates
  QRect FrameRect(XWindow w);       // the client and the frame the window manager gives it
  QRect ScreenRect();
  bool HasFocus(XWindow w);         // the keyboard goes to `w` or one of its children
  bool Viewable(XWindow w);         // mapped, and its parents too
  bool WindowManagerRunning();
  // Waits until a window manager runs and takes charge of new windows: a
  // window of its own is shown until the window manager lists it.
  bool WaitForWindowManager(double seconds = 30);
  // What the screen shows in `area` (screen coordinates), as the person sees it.
  QImage Grab(const QRect &area);

  // ---- Waiting ---------------------------------------------------------------------
  // Polls `condition` every 20 ms for up to `seconds`; true once it holds.
  static bool WaitUntil(const std::function<bool()> &condition, double seconds = 20);
  // A managed window shown that is not in `known`; 0 when none comes.
  XWindow WaitForNewClient(const std::vector<XWindow> &known, double seconds = 20);
  // An unmanaged window shown that is not in `known`; 0 when none comes.
  XWindow WaitForNewPopup(const std::vector<XWindow> &known, double seconds = 20);
  // Waits until keys typed now reach `w`: the window system gives it the
  // keyboard and the program has made it its active window.
  bool WaitForKeys(XWindow w, double seconds = 20);
  // Waits until `w` is no longer shown.
  bool WaitForGone(XWindow w, double seconds = 20);

  // ---- Input through the server --------------------------------------------------
  void MoveTo(QPoint screen);
  void Press(int button = 1);
  void Release(int button = 1);
  void Click(QPoint screen, int button = 1);
  // Presses and releases the key of `keysym` (with Shift for a symbol on the
  // shifted level of its key).
  void Key(unsigned long keysym);
  // Holds modifier keys down, or lets them go, e.g. around clicks.
  enum Modifier { NoModifier = 0, Shift = 1, Control = 2 };
  void HoldModifiers(int modifiers, bool down);
  // Empties the text field that has the keyboard, as a person would: to the
  // end, then Backspace over everything. (No modifier keys: one that the
  // program has not yet seen go down would turn Control+A into an "a".)
  void ClearField(int longest = 20);
  // Types printable ASCII text.
  void Type(const QString &text);
  // Asks the window manager to close `w`, as its frame's close box does.
  void CloseWindow(XWindow w);

private:
  std::vector<XWindow> WindowList(const char *property);
  unsigned long Cardinals(XWindow w, const char *property, long *out, int count);
  void Sync();

  _XDisplay *Dpy_;
  XWindow Root_;
};

// Runs `user` on a thread of its own, as the person at the screen with their
// own view of the desktop, while this thread runs `command` (which may open
// modal windows and so turn the event loop itself) and then keeps the event
// loop turning until the person is done. A dialog the person leaves open is
// closed afterwards, so that the command comes back and the tests go on.
void AsUser(const std::function<void()> &command, const std::function<void(XDesktop &)> &user);

// Polls `condition` on the program's thread until it holds: for what the
// person sees happen inside a window, such as the caret moving into a box
// that was clicked, before typing into it.
bool WaitForProgram(const std::function<bool()> &condition, double seconds = 20);

// Lets test failures print texts and points readably.
inline void PrintTo(const QPoint &p, std::ostream *os) { *os << '(' << p.x() << ", " << p.y() << ')'; }
