#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: product name and version.
class TAboutBox : public QDialog {
  Q_OBJECT
public:
  explicit TAboutBox(QWidget *owner);

  QFrame *Panel1 = nullptr;
  QLabel *ProgramIcon = nullptr;
  QLabel *ProductName = nullptr;
  QLabel *Version = nullptr;
  QPushButton *OKButton = nullptr;
};
