#pragma once

#include <QChar>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class TMeasureType;

// What a figure of a definition says in words: the cell texts it writes
// and how a person reads them beside the figure.

// The unit of each of the `count` values a figure of `def` writes: lengths
// in centimetres, areas in square centimetres, angles in degrees.
QStringList FigureUnits(const TMeasureType &def, int count);

// The values as they read beside a figure: each cell with its unit, and a
// rectangle's quantities named by the letter of their heading
// ("H 2.6503 cm  W 4.2506 cm  A 11.2655 cm²"). Empty cells are left out.
QString FigureValueText(const TMeasureType &def, const QStringList &cells, const QStringList &units);

// The cell texts of a figure of `def` from its points in image pixels (a
// line's ends, a rectangle's corners, an angle's vertex and then its
// second and first arm's ends, as the record keeps them) at `dotsPerCm`;
// none for an angle with an arm of no length, a kind that no figure
// measures, or too few points.
std::optional<QStringList> FigureCells(const TMeasureType &def, const std::vector<QPointF> &points,
                                       double dotsPerCm, QChar decimal);
