#include "app/AboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/ProgramInfo.h"
#include "app/ScaliperIcon.h"
#include "common/Prompter.h"
#include "common/DialogSetUp.h"

TAboutBox::TAboutBox(QWidget *owner) : QDialog(owner) {
  SetUpDialog(this, QStringLiteral("About SCALIPER"), QSize(298, 213), false);

  Panel1 = new QFrame(this);
  Panel1->setGeometry(8, 8, 281, 161);
  // A lowered outer and a raised inner bevel: an etched edge.
  Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Panel1->setLineWidth(1);
  Panel1->setMidLineWidth(0);

  ProgramIcon = new QLabel(Panel1);
  ProgramIcon->setGeometry(32, 24, 33, 33);
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setPixmap(ScaliperIcon().pixmap(33, 33));

  ProductName = AddLabel(Panel1, QString::fromLatin1(ProgramInfo::Title), {88, 16});
  Version = AddLabel(Panel1, QStringLiteral("v. ") + QLatin1String(ProgramInfo::Version), {88, 40});

  OKButton = AddButton(this, QStringLiteral("OK"), QRect(111, 180, 75, 25));
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, [this] { done(mrOk); });
}
