#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>

#include "app/Form1.h"

void TForm1::BindKeys() {
  OpenImages1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  ContinueResults1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  SaveData1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  Saveas1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  Next1->setShortcut(QKeySequence(Qt::Key_PageDown));
  Measure1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  Back1->setShortcut(QKeySequence(Qt::Key_PageUp));
  Loupe1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  FitImage1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  ActualSize1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  // The pop-up menu's items act from anywhere in the window, not only while
  // the pop-up is open.
  addActions({Next1, Measure1, Back1, Loupe1, FitImage1, ActualSize1});

  const struct {
    QToolButton *Button;
    QString Command;
    QAction *Keyed;
  } tips[] = {{btOpenImages, QStringLiteral("Open Images"), OpenImages1},
              {btNext, QStringLiteral("Start / Next"), Next1},
              {btMeasure, QStringLiteral("Measure"), Measure1},
              {btBack, QStringLiteral("Back"), Back1},
              {bbSave, QStringLiteral("Save Data"), SaveData1}};
  for (const auto &t : tips)
    t.Button->setToolTip(t.Command + QStringLiteral(" (") +
                         t.Keyed->shortcut().toString(QKeySequence::NativeText) + u')');
  auto key = [](QAction *a) { return a->shortcut().toString(QKeySequence::NativeText); };
  ComboBox1->setToolTip(QStringLiteral("Zoom (Ctrl+mouse wheel over the picture)\nWhole picture: %1, 100 %: %2\n"
                                       "Loupe while drawing: %3")
                            .arg(key(FitImage1), key(ActualSize1), key(Loupe1)));
}

