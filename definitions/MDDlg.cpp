#include "definitions/MDDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/Prompter.h"
#include "common/DialogSetUp.h"

TMDDlg::TMDDlg(QWidget *owner) : QDialog(owner) {
  SetUpDialog(this, QStringLiteral("Add Definition"), QSize(303, 200), true);
  Label1 = AddLabel(this, QStringLiteral("Measure No.:"), {8, 8});
  lbMeasureNo = AddLabel(this, QString(), {104, 8});
  lbMeasureNo->resize(60, 17);
  Label2 = AddLabel(this, QStringLiteral("Measure Name:"), {8, 32});
  Label3 = AddLabel(this, QStringLiteral("Measure Type:"), {8, 64});
  edName = new QLineEdit(this);
  edName->setGeometry(104, 32, 177, 23);
  cbType = new QComboBox(this);
  cbType->setEditable(true);
  cbType->setInsertPolicy(QComboBox::NoInsert);
  // Typed text stays as typed: completing "R" to "Rectangle" would choose a
  // kind the user never chose.
  cbType->setCompleter(nullptr);
  cbType->addItems(MeasureKinds::TypeListItems());
  cbType->setGeometry(104, 64, 177, 23);
  gbOptions = new QGroupBox(QStringLiteral("Options"), this);
  gbOptions->setGeometry(104, 88, 177, 65);
  auto box = [this](const QString &text, int x, int y, int w, bool TMDDlg::*field) {
    auto *b = new QCheckBox(text, gbOptions);
    // As wide as the caption needs where the given width is too narrow for
    // this desktop's font.
    b->setGeometry(x, y, qMax(w, b->sizeHint().width()), 17);
    connect(b, &QCheckBox::toggled, this, [this, field](bool on) { this->*field = on; });
    return b;
  };
  cbHeight = box(QStringLiteral("Height"), 8, 16, 73, &TMDDlg::Height);
  cbWidth = box(QStringLiteral("Width"), 96, 16, 65, &TMDDlg::Width);
  cbPerimeter = box(QStringLiteral("Perimeter"), 8, 40, 73, &TMDDlg::Perimeter);
  cbArea = box(QStringLiteral("Area"), 96, 40, 57, &TMDDlg::Area);
  btOK = AddButton(this, QStringLiteral("OK"), QRect(80, 168, 75, 25));
  btCancel = AddButton(this, QStringLiteral("Cancel"), QRect(160, 168, 75, 25));
  // Enter is OK (or the button that has the focus), Escape is Cancel, from
  // any control of the dialog.
  btOK->setDefault(true);
  setTabOrder(edName, cbType);
  setTabOrder(cbType, gbOptions);
  setTabOrder(gbOptions, btOK);
  setTabOrder(btOK, btCancel);

  connect(edName, &QLineEdit::textChanged, this, [this] { edNameChange(); });
  // Choosing an item from the list gives its kind; typing into the box gives
  // none, whatever the text.
  connect(cbType, &QComboBox::activated, this, [this] {
    KindTyped_ = false;
    cbTypeChange();
  });
  connect(cbType->lineEdit(), &QLineEdit::textEdited, this, [this] {
    KindTyped_ = true;
    cbTypeChange();
  });
  connect(btOK, &QPushButton::clicked, this, [this] { btOKClick(); });
  connect(btCancel, &QPushButton::clicked, this, [this] { btCancelClick(); });

  // Creation: fields as above, then shown.
  MeasureName = QStringLiteral("Line0");
  Update();
  edName->setFocus();
}

void TMDDlg::SetMeasureNo(int n) {
  MeasureNo = n;
  RefreshDefaultName();
  Update();
}

void TMDDlg::RefreshDefaultName() {
  if (!NameEdited) MeasureName = MeasureKinds::NamePrefix(MeasureKind) + QString::number(MeasureNo);
}

void TMDDlg::Update() {
  Updating_ = true;
  lbMeasureNo->setText(QString::number(MeasureNo));
  if (edName->text() != MeasureName) edName->setText(MeasureName);
  // A kind of -1 means the user typed into the type box: the typed text stays.
  if (MeasureKind >= 0 && MeasureKind < cbType->count() &&
      (cbType->currentIndex() != MeasureKind || cbType->currentText() != cbType->itemText(MeasureKind)))
    cbType->setCurrentIndex(MeasureKind);
  const bool rectangle = MeasureKind == mkRectangle;
  gbOptions->setEnabled(rectangle);
  if (!rectangle)
    for (QCheckBox *b : {cbHeight, cbWidth, cbPerimeter, cbArea}) b->setChecked(false);
  cbHeight->setChecked(Height);
  cbWidth->setChecked(Width);
  cbPerimeter->setChecked(Perimeter);
  cbArea->setChecked(Area);
  Updating_ = false;
}

void TMDDlg::edNameChange() {
  if (Updating_) return;
  if (edName->text() != MeasureName) {
    MeasureName = edName->text();
    NameEdited = true;
  }
}

void TMDDlg::cbTypeChange() {
  if (Updating_) return;
  // Qt keeps the old index while the text is edited; typed text selects no item.
  const int index = KindTyped_ ? -1 : cbType->currentIndex();
  MeasureKind = TMeasureKind(std::int8_t(index));
  if (MeasureKind == mkRectangle) {
    cbHeight->setChecked(true);
    cbWidth->setChecked(true);
  }
  RefreshDefaultName();
  Update();
}

void TMDDlg::btOKClick() {
  if (MeasureKind == mkRectangle && !Height && !Width && !Perimeter && !Area) {
    cbHeight->setChecked(true);
    cbWidth->setChecked(true);
  }
  done(mrOk);
}

void TMDDlg::btCancelClick() { done(mrCancel); }
