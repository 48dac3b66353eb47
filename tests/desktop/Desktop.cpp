#include "tests/desktop/Desktop.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <stdexcept>

namespace {
// Runs `f` on the program's thread and waits for it.
void OnProgramThread(const std::function<void()> &f) {
  QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
}

}  // namespace

XDesktop::XDesktop() {
  Dpy_ = XOpenDisplay(nullptr);
  if (!Dpy_) throw std::runtime_error("no X display");
  Root_ = DefaultRootWindow(Dpy_);
}

XDesktop::~XDesktop() { XCloseDisplay(Dpy_); }

std::vector<Window> XDesktop::WindowList(const char *property) {
  std::vector<Window> out;
  Atom type;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char *data = nullptr;
  if (XGetWindowProperty(Dpy_, Root_, XInternAtom(Dpy_, property, False), 0, 4096, False, XA_WINDOW, &type,
                         &format, &count, &after, &data) == Success &&
      data && format == 32) {
    const auto *ids = reinterpret_cast<const unsigned long *>(data);
    out.assign(ids, ids + count);
  }
  if (data) XFree(data);
  return out;
}

std::vector<Window> XDesktop::Clients() { return WindowList("_NET_CLIENT_LIST"); }
std::vector<Window> XDesktop::Stacking() { return WindowList("_NET_CLIENT_LIST_STACKING"); }

bool XDesktop::Viewable(Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(Dpy_, w, &a) && a.map_state == IsViewable;
}

std::vector<Window> XDesktop::Popups() {
  std::vector<Window> out;
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(Dpy_, Root_, &root, &parent, &children, &n)) {
    for (unsigned int i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(Dpy_, children[i], &a) && a.override_redirect && a.map_state == IsViewable &&
          a.width > 1 && a.height > 1)
        out.push_back(children[i]);
    }
  }
  if (children) XFree(children);
  return out;
}

QString XDesktop::NetWmName(Window w) {
  Atom type;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char *data = nullptr;
  QString out;
  if (XGetWindowProperty(Dpy_, w, XInternAtom(Dpy_, "_NET_WM_NAME", False), 0, 1024, False,
                         XInternAtom(Dpy_, "UTF8_STRING", False), &type, &format, &count, &after, &data) == Success &&
      data && format == 8)
    out = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
  if (data) XFree(data);
  return out;
}

QString XDesktop::WmName(Window w) {
  XTextProperty text;
  QString out;
  if (XGetWMName(Dpy_, w, &text) && text.value) {
    char **list = nullptr;
    int n = 0;
    if (XmbTextPropertyToTextList(Dpy_, &text, &list, &n) >= Success && n > 0 && list)
      out = QString::fromLocal8Bit(list[0]);
    if (list) XFreeStringList(list);
    XFree(text.value);
  }
  return out;
}

QString XDesktop::WmClassName(Window w) {
  XClassHint hint{nullptr, nullptr};
  QString out;
  if (XGetClassHint(Dpy_, w, &hint)) out = QString::fromLocal8Bit(hint.res_class);
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return out;
}

QRect XDesktop::ClientRect(Window w) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(Dpy_, w, &a)) return {};
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(Dpy_, w, Root_, 0, 0, &x, &y, &child);
  return QRect(x, y, a.width, a.height);
}

unsigned long XDesktop::Cardinals(Window w, const char *property, long *out, int count) {
  Atom type;
  int format;
  unsigned long n = 0, after = 0;
  unsigned char *data = nullptr;
  if (XGetWindowProperty(Dpy_, w, XInternAtom(Dpy_, property, False), 0, count, False, XA_CARDINAL, &type,
                         &format, &n, &after, &data) == Success &&
      data && format == 32) {
    const auto *values = reinterpret_cast<const long *>(data);
    std::copy(values, values + std::min<unsigned long>(n, count), out);
  } else {
    n = 0;
  }
  if (data) XFree(data);
  return n;
}

QRect XDesktop::FrameRect(Window w) {
  long e[4] = {0, 0, 0, 0};  // left, right, top, bottom
  Cardinals(w, "_NET_FRAME_EXTENTS", e, 4);
  return ClientRect(w).adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
}

QRect XDesktop::ScreenRect() {
  const int s = DefaultScreen(Dpy_);
  return QRect(0, 0, DisplayWidth(Dpy_, s), DisplayHeight(Dpy_, s));
}

bool XDesktop::HasFocus(Window w) {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(Dpy_, &focus, &revert);
  // The focus may sit on a child of the client window.
  for (Window at = focus; at && at != Root_ && at != PointerRoot;) {
    if (at == w) return true;
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(Dpy_, at, &root, &parent, &children, &n)) break;
    if (children) XFree(children);
    at = parent;
  }
  return false;
}

bool XDesktop::WindowManagerRunning() {
  return !WindowList("_NET_SUPPORTING_WM_CHECK").empty();
}

bool XDesktop::WaitForWindowManager(double seconds) {
  if (!WaitUntil([&] { return WindowManagerRunning(); }, seconds)) return false;
  // A window manager that has only just started may not yet take in
  // windows shown meanwhile; the probe is shown again until it does.
  const Window probe = XCreateSimpleWindow(Dpy_, Root_, 0, 0, 10, 10, 0, 0, 0);
  bool managed = false;
  for (int attempt = 0; attempt < int(seconds) && !managed; ++attempt) {
    XUnmapWindow(Dpy_, probe);
    XMapWindow(Dpy_, probe);
    Sync();
    managed = WaitUntil(
        [&] {
          const std::vector<Window> clients = Clients();
          return std::find(clients.begin(), clients.end(), probe) != clients.end();
        },
        1);
  }
  XDestroyWindow(Dpy_, probe);
  Sync();
  // Gone from the list again before anything else is shown.
  WaitUntil([&] {
    const std::vector<Window> clients = Clients();
    return std::find(clients.begin(), clients.end(), probe) == clients.end();
  });
  return managed;
}

bool XDesktop::WaitUntil(const std::function<bool()> &condition, double seconds) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    if (condition()) return true;
    if (clock.elapsed() > qint64(seconds * 1000)) return false;
    QThread::msleep(20);
  }
}

Window XDesktop::WaitForNewClient(const std::vector<Window> &known, double seconds) {
  Window found = 0;
  WaitUntil(
      [&] {
        for (Window w : Clients())
          if (std::find(known.begin(), known.end(), w) == known.end() && Viewable(w)) {
            found = w;
            return true;
          }
        return false;
      },
      seconds);
  return found;
}

Window XDesktop::WaitForNewPopup(const std::vector<Window> &known, double seconds) {
  Window found = 0;
  WaitUntil(
      [&] {
        for (Window w : Popups())
          if (std::find(known.begin(), known.end(), w) == known.end()) {
            found = w;
            return true;
          }
        return false;
      },
      seconds);
  return found;
}

bool XDesktop::WaitForKeys(XWindow w, double seconds) {
  return WaitUntil([&] { return Viewable(w) && HasFocus(w); }, seconds) && WaitForProgram(
                                         [w] {
                                           const QWidget *active = QApplication::activeWindow();
                                           return active && XWindow(active->winId()) == w &&
                                                  QApplication::focusWidget();
                                         },
                                         seconds);
}

bool XDesktop::WaitForGone(Window w, double seconds) {
  return WaitUntil(
      [&] {
        XWindowAttributes a;
        return !XGetWindowAttributes(Dpy_, w, &a) || a.map_state != IsViewable;
      },
      seconds);
}

void XDesktop::Sync() { XSync(Dpy_, False); }

QImage XDesktop::Grab(const QRect &area) {
  Sync();
  XImage *image = XGetImage(Dpy_, Root_, area.x(), area.y(), unsigned(area.width()), unsigned(area.height()),
                            AllPlanes, ZPixmap);
  if (!image) return QImage();
  QImage out(area.size(), QImage::Format_RGB32);
  for (int y = 0; y < area.height(); ++y)
    for (int x = 0; x < area.width(); ++x) out.setPixel(x, y, QRgb(XGetPixel(image, x, y)) | 0xff000000u);
  XDestroyImage(image);
  return out;
}

void XDesktop::MoveTo(QPoint p) {
  XTestFakeMotionEvent(Dpy_, -1, p.x(), p.y(), CurrentTime);
  Sync();
}

void XDesktop::Press(int button) {
  XTestFakeButtonEvent(Dpy_, unsigned(button), True, CurrentTime);
  Sync();
}

void XDesktop::Release(int button) {
  XTestFakeButtonEvent(Dpy_, unsigned(button), False, CurrentTime);
  Sync();
}

void XDesktop::HoldModifiers(int modifiers, bool down) {
  if (modifiers & Control) XTestFakeKeyEvent(Dpy_, XKeysymToKeycode(Dpy_, XK_Control_L), down, CurrentTime);
  if (modifiers & Shift) XTestFakeKeyEvent(Dpy_, XKeysymToKeycode(Dpy_, XK_Shift_L), down, CurrentTime);
  Sync();
}

void XDesktop::Click(QPoint p, int button) {
  MoveTo(p);
  Press(button);
  Release(button);
}

void XDesktop::Key(unsigned long keysym) {
  const KeyCode code = XKeysymToKeycode(Dpy_, keysym);
  if (!code) throw std::runtime_error("no key for a keysym");
  const bool shifted = XkbKeycodeToKeysym(Dpy_, code, 0, 0) != keysym;
  if (shifted) HoldModifiers(Shift, true);
  XTestFakeKeyEvent(Dpy_, code, True, CurrentTime);
  XTestFakeKeyEvent(Dpy_, code, False, CurrentTime);
  if (shifted) HoldModifiers(Shift, false);
  Sync();
}

void XDesktop::ClearField(int longest) {
  Key(XK_End);
  for (int i = 0; i < longest; ++i) Key(XK_BackSpace);
}

void XDesktop::Type(const QString &text) {
  // The keysyms of printable ASCII characters are their codes.
  for (QChar c : text) Key(KeySym(uchar(c.toLatin1())));
}

void XDesktop::CloseWindow(Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(Dpy_, "_NET_CLOSE_WINDOW", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = CurrentTime;
  e.xclient.data.l[1] = 2;  // from a pager, i.e. on the person's behalf
  XSendEvent(Dpy_, Root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  Sync();
}

bool WaitForProgram(const std::function<bool()> &condition, double seconds) {
  return XDesktop::WaitUntil(
      [&] {
        bool holds = false;
        OnProgramThread([&] { holds = condition(); });
        return holds;
      },
      seconds);
}

namespace {
// Closes every dialog still open, as a last resort when the person gave up.
void CloseDialogs() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible()) d->reject();
}
}  // namespace

void AsUser(const std::function<void()> &command, const std::function<void(XDesktop &)> &user) {
  std::atomic<bool> commandDone{false}, userDone{false};
  std::thread person([&] {
    try {
      XDesktop desktop;
      user(desktop);
    } catch (const std::exception &e) {
      ADD_FAILURE() << "the person at the screen stopped: " << e.what();
    }
    // The command finishes with what the person did last. Should it not,
    // whatever is still open is closed, so that the command comes back.
    if (!XDesktop::WaitUntil([&] { return bool(commandDone); }, 10)) {
      ADD_FAILURE() << "a window was left open";
      for (int i = 0; i < 500 && !commandDone; ++i) {
        QMetaObject::invokeMethod(qApp, CloseDialogs, Qt::QueuedConnection);
        QThread::msleep(100);
      }
    }
    userDone = true;
    QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);  // wakes the program's thread
  });
  command();
  commandDone = true;
  while (!userDone) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  person.join();
}
