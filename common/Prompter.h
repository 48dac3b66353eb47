#pragma once

#include <QString>
#include <QStringList>

class QDialog;

// Results of modal windows, with the values the program has always used.
enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrRetry = 4, mrYes = 6, mrNo = 7 };

// A file chooser of the main window. It keeps what the user chose last, so
// that a dialog opened again starts from there.
struct FileDialogState {
  enum Kind { Open, Save };
  Kind Mode = Open;
  QString Title;            // empty: the platform's default title
  QString Filter;           // "Description|pattern;pattern|Description|pattern"
  int FilterIndex = 1;      // selected filter, counted from 1
  QString DefaultExt;       // added to a name typed without extension ("txt")
  bool MultiSelect = false;
  bool OverwritePrompt = false;
  QString FileName;         // the chosen (or first chosen) file, full path
  QStringList Files;        // every chosen file, in the dialog's order
  // The dialog listed the file focused last (the one clicked last) first and
  // the others in the order of its view, as the Windows shell's dialog does.
  bool LastClickedFirst = false;

  // The filter as description/pattern pairs.
  QStringList Descriptions() const;
  QStringList Patterns() const;
  // The extension (without the dot) that a name typed without one gets when
  // filter `index` (from 1) is chosen: the filter's own when its first
  // pattern names one ("*.csv"), DefaultExt's otherwise ("*.*").
  QString ExtensionFor(int index) const;
};

// The one way the program talks to the person at the screen: beeps, message
// boxes, modal dialogs and file choosers. The program uses the real one; tests
// put in a scripted one that answers and records.
class Prompter {
public:
  virtual ~Prompter() = default;

  // The system's default alert sound.
  virtual void Beep() = 0;
  // A message box with a single OK button and no icon.
  virtual void ShowMessage(const QString &text, const QString &title) = 0;
  // A question with Yes/No (or Yes/No/Cancel) buttons; returns mrYes, mrNo or mrCancel.
  virtual ModalResult Ask(const QString &text, const QString &title, bool withCancel) = 0;
  // Shows a dialog modally and returns its modal result.
  virtual int RunModal(QDialog &dialog) = 0;
  // Shows a file chooser; true when the user confirmed, with the state updated.
  virtual bool RunFileDialog(FileDialogState &dialog) = 0;
  // Shows a folder chooser opening at `folder`; true when the user chose one,
  // which is then in `folder`. With `kinds` (the names of the kinds of file
  // that can be written there), the chooser also offers them, `kind` (an
  // index into them) chosen at first; the one chosen is then in `kind`.
  virtual bool ChooseFolder(const QString &title, QString &folder, const QStringList &kinds, int &kind) = 0;
  bool ChooseFolder(const QString &title, QString &folder) {
    int none = -1;
    return ChooseFolder(title, folder, {}, none);
  }
  // The application's standard error report: a message box with the text.
  virtual void ReportError(const QString &text) = 0;
};
