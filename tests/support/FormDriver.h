#pragma once
// Driving the real main window from a test as the person does: its
// commands, and waiting for a picture to arrive after a move to an image.
#include <QPoint>
#include <QString>

class TForm1;

// Waits (turning the event loop) until no picture is on its way: the image
// moved to is shown, or its file failed. False when it did not come in time.
bool Settle(TForm1 &form, int ms = 20000);

// The walk, each followed by the arrival of the picture moved to.
void Next(TForm1 &form);
void Back(TForm1 &form);
void JumpTo(TForm1 &form, int image);
// ShowImage, and its picture's arrival.
void ShowImageAndWait(TForm1 &form, int image);
