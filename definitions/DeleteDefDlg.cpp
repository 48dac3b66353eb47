#include "definitions/DeleteDefDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "common/Prompter.h"
#include "common/DialogSetUp.h"

TDeleteDefDlg::TDeleteDefDlg(QWidget *owner) : QDialog(owner) {
  SetUpDialog(this, QStringLiteral("DeleteDefDlg"), QSize(209, 116), true);
  Label1 = AddLabel(this, QStringLiteral("Delete definition for"), {32, 24});
  cbName = new QComboBox(this);
  cbName->setEditable(true);
  cbName->setInsertPolicy(QComboBox::NoInsert);
  cbName->setGeometry(32, 40, 145, 23);
  btOK = AddButton(this, QStringLiteral("OK"), QRect(32, 80, 75, 25));
  btCancel = AddButton(this, QStringLiteral("Cancel"), QRect(112, 80, 75, 25));
  setTabOrder(btOK, btCancel);
  setTabOrder(btCancel, cbName);
  btOK->setFocus();
  connect(btOK, &QPushButton::clicked, this, &TDeleteDefDlg::btOKClick);
  connect(btCancel, &QPushButton::clicked, this, &TDeleteDefDlg::btCancelClick);
}

void TDeleteDefDlg::btOKClick() { done(mrOk); }

void TDeleteDefDlg::btCancelClick() { done(mrCancel); }

void TDeleteDefDlg::AddName(const QString &name) {
  cbName->addItem(name);
  cbName->setCurrentIndex(-1);
}

int TDeleteDefDlg::SelectedIndex() const {
  const int index = cbName->currentIndex();
  const QString text = cbName->currentText();
  if (index >= 0 && text == cbName->itemText(index)) return index;
  // A name typed in full chooses the first entry of that name; other text
  // (part of a name, or one typed over a chosen entry) chooses none.
  return cbName->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}
