#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// Where a window's client area goes so that the window's frame, as the
// window manager draws it around the client, is centred on `area`.
QPoint CentredClientPosition(QSize client, const QMargins &frame, const QRect &area);

// Keeps a dialog centred, frame and all, each time it is shown: over its
// owner window's frame (`overOwner`), or else on its screen. The frame a
// window manager gives a window is known only once the window is on the
// screen, so the dialog is first placed as if its frame matched its owner's
// (the same window manager draws both) and placed again, if that was not
// quite right, as soon as its own frame is known.
void KeepCentred(QWidget *dialog, bool overOwner);

// What every dialog of the program has: its title, a fixed size, its owner's
// font, and a place centred over its owner (`overOwner`) or on the screen.
void SetUpDialog(QWidget *dialog, const QString &title, QSize size, bool overOwner);

// A caption at `at`, as wide as its text; a push button with its place.
QLabel *AddLabel(QWidget *parent, const QString &text, QPoint at);
QPushButton *AddButton(QWidget *parent, const QString &text, const QRect &geometry);
