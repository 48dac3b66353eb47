#pragma once

#include <QImage>
#include <QMainWindow>
#include <memory>
#include <vector>

#include "app/ImagePane.h"
#include "app/MainWindowParts.h"
#include "common/Prompter.h"
#include "definitions/DefinitionList.h"
#include "measuring/MeasureSession.h"
#include "results/ResultsTable.h"
#include "results/SittingLog.h"

class QTableView;
class TReadAhead;
class TResultsGridModel;
struct TPicture;

// The main window. It holds what lives as long as the sitting (the
// definitions, the results table, the record) in the objects of their rooms,
// and the measuring session and the picture area; it lays out the window,
// gives each command its menu item, button and key, and wires the rooms
// together. The handlers keep the names the program's protocol gives them.
class TForm1 : public QMainWindow, private TMeasureHost {
  Q_OBJECT

public:
  // `prompter` is how every command talks to the person; it must outlive the window.
  explicit TForm1(Prompter &prompter, QWidget *parent = nullptr);
  ~TForm1() override;

  TDefinitionList DefinitionList;
  TResultsTable ResultsTable;

  // ---- The rooms' objects ---------------------------------------------------
  TMeasureSession &Session() { return *Session_; }
  TImagePane &Pane() { return *Pane_; }
  TSittingLog &Log() { return Log_; }
  TReadAhead &ReadAhead() { return *ReadAhead_; }
  TFileChoosers &Choosers() { return Choosers_; }
  const TToolBarParts &Tools() const { return Tools_; }
  const TMenuParts &Menus() const { return Menus_; }
  const TStepPanel &Steps() const { return Steps_; }
  QTableView *Grid() const { return StringGrid1_; }
  const TWindowFrame &Frame() const { return Frame_; }

  // ---- Where the walk through the images is ---------------------------------
  int CurrentImage() const { return CurrentImage_; }
  bool RunStarted() const { return RunStarted_; }
  // The picture shown, and whether it is the current image's.
  const QImage &ImageBitmap() const { return ImageBitmap_; }
  bool CurrentImageShown() const { return CurrentImage_ >= 0 && ShownImage_ == CurrentImage_; }
  // A picture is on its way: the image moved to was not read yet.
  bool AwaitingPicture() const { return WantedImage_ >= 0; }
  // The definitions, and with them the results table's columns, are fixed:
  // after Start, or once rows with values came back.
  bool DefinitionsLocked() const { return RunStarted_ || RowsContinued_; }
  // The decimal separator of every value written into the table: the user's
  // regional one, or the one a continued results file's numbers use.
  QChar DecimalSeparator() const { return DecimalSeparator_; }
  void SetDecimalSeparator(QChar separator) { DecimalSeparator_ = separator; }

  // ---- Commands ---------------------------------------------------------------
  void btOpenImagesClick();
  // Open Images without its chooser: `files` become rows in this order, all
  // but what is no regular file.
  void OpenImageFiles(QStringList files);
  void btNextClick();
  void btBackClick();
  void btMeasureClick();
  void StringGrid1DblClick(int image);
  void NextObject1Click() { Session_->NextObject(); UpdateStepDisplay(); }
  void Undo1Click() { Session_->Undo(); UpdateStepDisplay(); }
  void Redo1Click() { Session_->Redo(); UpdateStepDisplay(); }
  // Delete on a row of the table: the object of that row, after a question.
  void DeleteObject(int row);
  void ComboBox1Change();
  void FitImage1Click();
  void ActualSize1Click();
  void Loupe1Click();
  void AddDef1Click();
  void DeleteDef1Click();
  void SaveDef1Click();
  void LoadDef1Click();
  bool bbSaveClick();
  bool Saveas1Click();
  // Continue Results; with `file`, that file without the chooser.
  void ContinueResults1Click(const QString &file = QString());
  void ExportAnnotated1Click();
  void Exit1Click() { close(); }
  void AboutScaliper1Click();
  void FormCloseQuery(bool &CanClose);
  void PaintBox1MouseDown(Qt::MouseButton, int X, int Y) { Session_->Press({X, Y}); }
  void PaintBox1MouseMove(int X, int Y) { Session_->Move({X, Y}); }
  void PaintBox1MouseUp(Qt::MouseButton, int X, int Y);
  // Shows image `index`: at once when its picture was read ahead, else when
  // it arrives; the row's scale comes into force and its figures are drawn.
  void ShowImage(int index);

  // ---- The record ---------------------------------------------------------------
  // At start: offers back the sitting of a journal left by one that did not
  // end normally. True when one was brought back.
  bool OfferLeftOverJournal();
  // Builds the definitions, the table and the record again from entries.
  void RestoreEntries(const std::vector<TRecordEntry> &entries);

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void ConnectCommands();
  // Makes image i the current one: its row selected, its picture shown.
  void GoToImage(int i);
  // The wanted picture has been read.
  void PictureArrived(const QString &path);
  void Show(int image, TPicture &picture);
  // Tells the read-ahead what is shown, what to keep and what to read next.
  void PlanReadAhead();
  // The image file of image `i` when it is one the program reads; else empty.
  QString ReadablePath(int i) const;
  void UpdateStepDisplay();
  void LockDefinitions();
  void DrawRecordedFigures();

  // ---- How the measuring session reaches the window ----------------------------
  void Beep() override { Prompt_.Beep(); }
  int AskOkRetry(QPoint release) override;
  int AskScale(int dots, int &knownCm, double &dotsPerCm) override;
  bool AskYes(const QString &question) override;
  bool PictureShown() const override { return CurrentImageShown(); }
  int Image() const override { return CurrentImage_; }
  std::vector<QStringList> Rows(int image) const override { return ResultsTable.ImageRows(image); }
  void SetRows(int image, const std::vector<QStringList> &rows) override { ResultsTable.SetImageRows(image, rows); }
  void WriteCells(int object, int column, const QStringList &texts) override;
  QChar Decimal() const override { return DecimalSeparator_; }
  const TRecordedImage *Recorded(int image) const override { return Log_.Record.Image(image); }
  void Remember(const std::vector<TRecordEntry> &entries) override { Log_.Remember(entries); }
  double Zoom() const override;
  void EraseOverlay() override;
  void ResetOverlay() override;
  void DrawRecord() override { DrawRecordedFigures(); }
  void ShowAids(QPoint p) override;
  void HideAids() override;

  Prompter &Prompt_;
  TSittingLog Log_;
  TFileChoosers Choosers_;
  TToolBarParts Tools_;
  TMenuParts Menus_;
  TStepPanel Steps_;
  TImagePane *Pane_ = nullptr;
  std::unique_ptr<TMeasureSession> Session_;
  std::unique_ptr<TReadAhead> ReadAhead_;
  QTableView *StringGrid1_ = nullptr;
  TResultsGridModel *GridModel_ = nullptr;
  TWindowFrame Frame_;
  QImage ImageBitmap_;
  int CurrentImage_ = -1;
  // The image whose picture the view shows: it falls behind CurrentImage_
  // when the current image's file could not be shown, and while its picture
  // is on its way. -1 before any.
  int ShownImage_ = -1;
  int WantedImage_ = -1;  // the image whose picture is on its way
  int Direction_ = 1;     // of the last move: +1 onwards, -1 back
  bool RunStarted_ = false;
  // Image rows came back from a saved results file or a journal: their
  // values stand in the definitions' columns, which must no longer move.
  bool RowsContinued_ = false;
  QChar DecimalSeparator_;
};
