#pragma once

#include <QImage>
#include <QString>

struct TRecordedImage;

// The picture at full resolution with its record drawn on it: the scale line
// in red and each figure in yellow, both with a thin dark outline, each
// figure's name and values with their units beside it, and a one-line legend
// (the file name and its dots per centimetre) in the top-left corner. The
// legend is also kept as the picture's "Description" text, which a PNG holds.
QImage AnnotatedImage(const QImage &picture, const TRecordedImage &record, const QString &fileName,
                      const QString &dotsPerCm);

// The legend line of an annotated picture.
QString AnnotationLegend(const QString &fileName, const QString &dotsPerCm);
