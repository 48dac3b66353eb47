#pragma once

#include <QFont>
#include <QObject>
#include <functional>

#include "common/Prompter.h"

class QAction;
class QComboBox;
class QLabel;
class QMainWindow;
class QMenu;
class QSplitter;
class QToolButton;
class QWidget;

// The parts of the main window, as plain widgets made once, with the names
// the program's protocol gives them. The window wires them to its commands.

// The tool bar: five buttons and the zoom box.
struct TToolBarParts {
  QWidget *ToolBar1 = nullptr;
  QToolButton *btOpenImages = nullptr, *btNext = nullptr, *btMeasure = nullptr, *btBack = nullptr,
              *bbSave = nullptr, *btNextObject = nullptr;
  QComboBox *ComboBox1 = nullptr;
};
TToolBarParts BuildToolBar(QWidget *window);

// The menu bar's menus, the image area's pop-up menu, and the view's own
// commands, which belong to no menu so that the menus stay as they are.
struct TMenuParts {
  QMenu *Files1 = nullptr;
  QAction *OpenImages1 = nullptr, *ContinueResults1 = nullptr, *SaveData1 = nullptr, *Saveas1 = nullptr,
          *ExportAnnotated1 = nullptr, *Exit1 = nullptr;
  QMenu *Define1 = nullptr;
  QAction *AddDef1 = nullptr, *DeleteDef1 = nullptr, *SaveDef1 = nullptr, *LoadDef1 = nullptr;
  QMenu *Help1 = nullptr;
  QAction *AboutScaliper1 = nullptr;
  QMenu *PopupMenu1 = nullptr;
  QAction *Next1 = nullptr, *Measure1 = nullptr, *Back1 = nullptr;
  // Many objects on one image, and taking back what was confirmed.
  QAction *NextObject1 = nullptr, *Undo1 = nullptr, *Redo1 = nullptr;
  QAction *Loupe1 = nullptr, *FitImage1 = nullptr, *ActualSize1 = nullptr;
};
TMenuParts BuildMenus(QMainWindow *window);

// Gives the menu items and the workflow commands their keys (each key runs
// the handler of its menu item or button, wherever the keyboard focus is in
// the window) and names the keys in the tool-bar buttons' tool-tips.
void BindKeys(QMainWindow *window, const TMenuParts &menus, const TToolBarParts &tools);

// The step panel left of the picture: the Scale and Measure panels, lit
// while their step is armed, and the number, name and kind of the
// measurement due.
struct TStepPanel {
  QWidget *Splitter1 = nullptr;
  QLabel *pnScale = nullptr, *pnMeasure = nullptr;
  QLabel *lbMeasureNo = nullptr, *lbMeasureName = nullptr, *lbMeasureType = nullptr, *lbObject = nullptr;
  // Lights the panel of the step armed and names the measurement due and
  // its object (none: empty labels).
  void Show(bool scale, bool measure, const QString &number, const QString &name, const QString &kind,
            const QString &object = QString());
};
TStepPanel BuildStepPanel(QWidget *window);

// The window's frame: the tool bar above, the step panel and the picture
// side by side, the results grid below them with a boundary that can be
// dragged (the grid starts 127 pixels high and keeps its height as the
// window grows), and the status bar with its two panels.
struct TWindowFrame {
  QSplitter *Splitter2 = nullptr;  // between the picture and the table
  QLabel *StatusPanel0 = nullptr;  // the picture's size
  QLabel *StatusPanel1 = nullptr;  // its file
};
TWindowFrame LayOutWindow(QMainWindow *window, QWidget *toolBar, QWidget *steps, QWidget *picture, QWidget *grid);

// The file choosers of the main window, remembered for the whole run.
struct TFileChoosers {
  FileDialogState OpenDialog1;  // image files
  FileDialogState SaveDialog1;  // results file
  FileDialogState OpenDialog2;  // definition file, load
  FileDialogState OpenDialog3;  // results file to continue
  FileDialogState SaveDialog2;  // definition file, save
};
TFileChoosers MakeFileChoosers();

// The main window's font, and its starting rectangle kept inside the
// screen's available area (shrunk and moved as little as needed).
QFont MainFont();
void StartInsideScreen(QWidget &window);

// Takes the events of one type that `take` answers true for, before the
// object it watches sees them.
class TEventFilter : public QObject {
public:
  TEventFilter(QObject *watched, int type, std::function<bool(QEvent *)> take);
  bool eventFilter(QObject *, QEvent *event) override;

private:
  int Type_;
  std::function<bool(QEvent *)> Take_;
};
