#include "measuring/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "definitions/MeasureType.h"

namespace {
double ImageDistance(QPoint start, QPoint end, double zoom) {
  const double ddx = double(start.x() - end.x()) / zoom;
  const double ddy = double(start.y() - end.y()) / zoom;
  return std::sqrt(ddx * ddx + ddy * ddy);
}
}  // namespace

std::int32_t ScaleLengthDots(QPoint start, QPoint end, double zoom) {
  return std::int32_t(std::trunc(ImageDistance(start, end, zoom)));
}

double LineLengthCm(QPoint start, QPoint end, double zoom, double dotsPerCm) {
  return ImageDistance(start, end, zoom) / dotsPerCm;
}

double LineLengthCm(QPointF start, QPointF end, double dotsPerCm) {
  const double dx = start.x() - end.x(), dy = start.y() - end.y();
  return std::sqrt(dx * dx + dy * dy) / dotsPerCm;
}

std::optional<double> AngleBetweenArms(QPointF vertex, QPointF arm1, QPointF arm2) {
  const double ux = arm1.x() - vertex.x(), uy = vertex.y() - arm1.y();
  const double vx = arm2.x() - vertex.x(), vy = vertex.y() - arm2.y();
  const double lu = std::sqrt(ux * ux + uy * uy), lv = std::sqrt(vx * vx + vy * vy);
  if (lu == 0 || lv == 0) return std::nullopt;
  const double c = std::clamp((ux * vx + uy * vy) / (lu * lv), -1.0, 1.0);
  return std::acos(c) * 180 * 0.31830988618379068395;
}

namespace {
// The wanted quantities of a rectangle `w` by `h` image pixels.
std::vector<double> QuantitiesOf(double w, double h, double dotsPerCm, const TMeasureType &def) {
  std::vector<double> out;
  if (def.Height) out.push_back(h / dotsPerCm);
  if (def.Width) out.push_back(w / dotsPerCm);
  if (def.Perimeter) out.push_back((w + h) * 2 / dotsPerCm);
  if (def.Area) out.push_back((w * h) / (dotsPerCm * dotsPerCm));
  return out;
}
}  // namespace

std::vector<double> RectangleQuantities(QPoint start, QPoint end, double zoom, double dotsPerCm,
                                        const TMeasureType &def) {
  return QuantitiesOf(std::abs(start.x() - end.x()) / zoom, std::abs(start.y() - end.y()) / zoom, dotsPerCm, def);
}

std::vector<double> RectangleQuantities(QPointF start, QPointF end, double dotsPerCm, const TMeasureType &def) {
  return QuantitiesOf(std::fabs(start.x() - end.x()), std::fabs(start.y() - end.y()), dotsPerCm, def);
}
