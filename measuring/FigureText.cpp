#include "measuring/FigureText.h"

#include "definitions/MeasureType.h"
#include "measuring/Geometry.h"
#include "measuring/ValueText.h"

QStringList FigureUnits(const TMeasureType &def, int count) {
  QStringList units;
  if (def.Kind == mkAngle) {
    for (int k = 0; k < count; ++k) units << QStringLiteral("\u00b0");
    return units;
  }
  if (def.Kind == mkRectangle)
    for (const QuantityFlag &q : kQuantityFlags)
      if (def.*q.Flag) units << (q.Flag == &TMeasureType::Area ? QStringLiteral("cm\u00b2") : QStringLiteral("cm"));
  while (units.size() < count) units << QStringLiteral("cm");
  units.resize(count);
  return units;
}

QString FigureValueText(const TMeasureType &def, const QStringList &cells, const QStringList &units) {
  QStringList parts;
  int q = 0;
  for (int k = 0; k < cells.size(); ++k) {
    QString part;
    if (def.Kind == mkRectangle) {
      while (q < 4 && !(def.*kQuantityFlags[q].Flag)) ++q;
      if (q < 4) part = QLatin1String(kQuantityFlags[q++].Suffix + 1) + u' ';
    }
    if (cells[k].isEmpty()) continue;
    const QString unit = units.value(k);
    part += cells[k] + (unit == QStringLiteral("\u00b0") ? QString() : QStringLiteral(" ")) + unit;
    parts << part;
  }
  return parts.join(QStringLiteral("  "));
}

std::optional<QStringList> FigureCells(const TMeasureType &def, const std::vector<QPointF> &points,
                                       double dotsPerCm, QChar decimal) {
  QStringList cells;
  switch (def.Kind) {
    case mkLine:
      if (points.size() != 2) return std::nullopt;
      return QStringList{FormatValue(LineLengthCm(points[0], points[1], dotsPerCm), decimal)};
    case mkAngle:
      if (points.size() != 3) return std::nullopt;
      if (const std::optional<double> angle = AngleBetweenArms(points[0], points[2], points[1]))
        return QStringList{FormatValue(*angle, decimal)};
      return std::nullopt;
    case mkRectangle:
      if (points.size() != 2) return std::nullopt;
      for (double v : RectangleQuantities(points[0], points[1], dotsPerCm, def)) cells << FormatValue(v, decimal);
      return cells;
    default: return std::nullopt;
  }
}
