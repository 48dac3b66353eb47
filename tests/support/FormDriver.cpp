#include "tests/support/FormDriver.h"

#include <QTest>

#include "app/Form1.h"

bool Settle(TForm1 &form, int ms) { return QTest::qWaitFor([&] { return !form.AwaitingPicture(); }, ms); }

void Next(TForm1 &form) {
  form.btNextClick();
  Settle(form);
}

void Back(TForm1 &form) {
  form.btBackClick();
  Settle(form);
}

void JumpTo(TForm1 &form, int image) {
  form.StringGrid1DblClick(image);
  Settle(form);
}

void ShowImageAndWait(TForm1 &form, int image) {
  form.ShowImage(image);
  Settle(form);
}
