#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

struct TRecordedImage;

// The picture at full resolution with its record drawn on it: the scale line
// in red and each figure in yellow, both with a thin dark outline, each
// figure's label (`labels`, one per figure of the record) beside it, and a
// one-line legend (the file name and its dots per centimetre) in the top-left
// corner. The legend is also kept as the picture's "Description" text, and
// the figures' names and labels, one a line, as its "Comment" text, which a
// PNG holds. A 32-bit picture handed over whole is drawn on where it is, so
// that no second picture of its size is made.
QImage AnnotatedImage(QImage picture, const TRecordedImage &record, const QStringList &labels,
                      const QString &fileName, const QString &dotsPerCm);

// The legend line of an annotated picture.
QString AnnotationLegend(const QString &fileName, const QString &dotsPerCm);
