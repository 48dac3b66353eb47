#include "results/AnnotatedImage.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "results/Record.h"

namespace {
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kDark(0, 0, 0);

// A line in `colour`, with a dark line one pixel wider on each side beneath
// it, so that it shows on light and dark pictures alike.
void OutlinedLine(QPainter &p, QPointF a, QPointF b, const QColor &colour, int width) {
  p.setPen(QPen(kDark, width + 2, Qt::SolidLine, Qt::SquareCap));
  p.drawLine(a, b);
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap));
  p.drawLine(a, b);
}

void OutlinedRect(QPainter &p, QPointF a, QPointF b, const QColor &colour, int width) {
  const QRectF r = QRectF(a, b).normalized();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kDark, width + 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.drawRect(r);
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.drawRect(r);
}

// Text in `colour` with a dark outline, its baseline's start at `at`.
void OutlinedText(QPainter &p, QPointF at, const QString &text, const QFont &font, const QColor &colour) {
  QPainterPath path;
  path.addText(at, font, text);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.strokePath(path, QPen(kDark, std::max(2.0, font.pixelSize() / 6.0)));
  p.fillPath(path, colour);
  p.setRenderHint(QPainter::Antialiasing, false);
}
}  // namespace

QString AnnotationLegend(const QString &fileName, const QString &dotsPerCm) {
  return fileName + QStringLiteral("  \u2014  ") + (dotsPerCm.isEmpty() ? QStringLiteral("no scale") : dotsPerCm + QStringLiteral(" dots/cm"));
}

QImage AnnotatedImage(QImage picture, const TRecordedImage &record, const QStringList &labels,
                      const QString &fileName, const QString &dotsPerCm) {
  QImage out = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                   ? std::move(picture)
                   : picture.convertToFormat(QImage::Format_RGB32);
  picture = QImage();
  // Lines and letters grow with the picture, so that they read the same on a
  // phone's snapshot and a 24-megapixel photograph.
  const int side = std::min(out.width(), out.height());
  const int width = std::max(1, side / 800) | 1;  // odd: centred on the pixels
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(12, side / 50));
  const QFontMetrics metrics(font);
  const QString legend = AnnotationLegend(fileName, dotsPerCm);
  out.setText(QStringLiteral("Description"), legend);
  // Each figure's label as text too, one a line, for whoever reads the file
  // without looking at it.
  QStringList lines;
  for (size_t k = 0; k < record.Figures.size(); ++k) {
    const QString values = labels.value(qsizetype(k));
    const QString name = record.Label(record.Figures[k]);
    lines << (values.isEmpty() ? name : name + QStringLiteral(": ") + values);
  }
  if (!lines.isEmpty()) out.setText(QStringLiteral("Comment"), lines.join(u'\n'));

  QPainter p(&out);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (record.Scale) OutlinedLine(p, record.Scale->P1, record.Scale->P2, kRed, width);
  for (const TRecordedFigure &f : record.Figures) {
    if (f.Points.size() < 2) continue;
    if (f.Kind == 2)
      OutlinedRect(p, f.Points[0], f.Points[1], kYellow, width);
    else
      for (size_t k = 1; k < f.Points.size(); ++k) OutlinedLine(p, f.Points[0], f.Points[k], kYellow, width);
  }
  // The labels go over every figure's lines, as on the screen: above and to
  // the left of the figure's first point.
  for (size_t k = 0; k < record.Figures.size(); ++k) {
    const TRecordedFigure &f = record.Figures[k];
    if (f.Points.empty()) continue;
    OutlinedText(p, f.Points[0] + QPointF(-metrics.height() / 2.0, -metrics.descent() - 2 * width),
                 lines.at(qsizetype(k)), font, kYellow);
  }
  // The legend on a dark band of its own, so it reads on any picture.
  const int pad = std::max(2, metrics.height() / 4);
  const QRect band(0, 0, metrics.horizontalAdvance(legend) + 2 * pad, metrics.height() + 2 * pad);
  p.fillRect(band, kDark);
  p.setFont(font);
  p.setPen(kYellow);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.drawText(QPointF(pad, pad + metrics.ascent()), legend);
  return out;
}
