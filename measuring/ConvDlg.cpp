#include "measuring/ConvDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/Prompter.h"
#include "common/DialogSetUp.h"
#include "measuring/ValueText.h"

TConvDlg::TConvDlg(QWidget *owner, Prompter &prompter) : QDialog(owner), Prompt_(prompter) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  SetUpDialog(this, QStringLiteral("ConvDlg"), QSize(198, 94), true);
  lbLength = AddLabel(this, QString(), {24, 16});
  lbLength->resize(46, 15);
  Label6 = AddLabel(this, QStringLiteral("dots ="), {72, 16});
  edCm = new QLineEdit(this);
  edCm->setGeometry(112, 8, 41, 23);
  Label4 = AddLabel(this, QStringLiteral("cm"), {160, 16});
  Label2 = AddLabel(this, QStringLiteral("-->"), {16, 40});
  lbDpc = AddLabel(this, QString(), {56, 40});
  lbDpc->resize(46, 15);
  Label1 = AddLabel(this, QStringLiteral("dots/cm"), {104, 40});
  btOK = AddButton(this, QStringLiteral("OK"), QRect(8, 64, 57, 25));
  btRetry = AddButton(this, QStringLiteral("Retry"), QRect(72, 64, 57, 25));
  btCancel = AddButton(this, QStringLiteral("Cancel"), QRect(136, 65, 57, 24));
  // OK is the dialog's default button: Enter in the centimetre box accepts.
  btOK->setDefault(true);
  setTabOrder(btOK, btRetry);
  setTabOrder(btRetry, btCancel);
  setTabOrder(btCancel, edCm);
  // The length box has the keys with its text selected: a length typed at
  // once replaces the one offered, and Enter still answers OK. (With the
  // keys on OK, typing went nowhere and Enter took the old length.)
  edCm->setFocus();
  connect(edCm, &QLineEdit::textEdited, this, &TConvDlg::edCmChange);
  connect(btOK, &QPushButton::clicked, this, &TConvDlg::btOKClick);
  connect(btRetry, &QPushButton::clicked, this, &TConvDlg::btRetryClick);
  connect(btCancel, &QPushButton::clicked, this, &TConvDlg::btCancelClick);
  SetLengthCm(10);
}

void TConvDlg::SetLengthCm(int n) {
  LengthCm = n;
  edCm->setText(QString::number(n));
  edCm->selectAll();
}

namespace {
// Shows a value in its label whole: the label takes the text's width, and
// the caption after it moves right from its place only as far as the value
// needs.
void ShowValue(QLabel *value, const QString &text, QLabel *next, int nextLeft) {
  value->setText(text);
  value->resize(qMax(46, value->sizeHint().width()), value->height());
  next->move(qMax(nextLeft, value->geometry().right() + 4), next->y());
}
}  // namespace

void TConvDlg::SetLengthDots(int n) {
  LengthDots = n;
  ShowValue(lbLength, QString::number(n), Label6, 72);
}

void TConvDlg::SetDotsPerCm(double v) {
  DotsPerCm = v;
  ShowValue(lbDpc, FormatValue(v), Label1, 104);
}

void TConvDlg::edCmChange() {
  const QString text = edCm->text();
  if (text.isEmpty()) return;
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (!ok) {
    // Reported here, where it arises: an error thrown out of a text box's
    // signal would unwind through the toolkit's own code.
    Prompt_.ReportError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return;
  }
  LengthCm = n;
  // A known length of 0 or below gives no scale; the label stays empty.
  SetDotsPerCm(n > 0 ? double(LengthDots) / n : 0.0);
}

void TConvDlg::btOKClick() {
  // Only a whole number above 0 and a scale line of at least one dot make a
  // scale that later lengths can be divided by.
  if (edCm->text().isEmpty() || LengthCm <= 0) {
    Prompt_.ShowMessage(QStringLiteral("Input scale size!"), QStringLiteral("Scale Size Error"));
    Prompt_.Beep();
    return;
  }
  if (LengthDots <= 0) {
    Prompt_.ShowMessage(QStringLiteral("Scale line is too short!"), QStringLiteral("Scale Size Error"));
    Prompt_.Beep();
    return;
  }
  done(mrOk);
}

void TConvDlg::btRetryClick() { done(mrRetry); }

void TConvDlg::btCancelClick() { done(mrCancel); }

void TConvDlg::reject() { btCancelClick(); }
