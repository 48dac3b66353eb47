#pragma once

#include <QByteArray>
#include <QImage>

// Encodes a picture of 32 bits a pixel (Format_RGB32, or Format_ARGB32,
// whose translucent parts come out over white, as a viewer shows them) as
// a baseline JPEG of `quality` (1 to 100) through libjpeg, its colour at
// half resolution both ways as cameras store it. Each of the picture's
// texts (QImage::text) goes into a comment segment as "key: value", which
// is how Qt's own JPEG reader and writer keep them. Empty when it cannot.
QByteArray JpegBytes(const QImage &picture, int quality);
