#pragma once

#include <QPoint>
#include <QPointF>
#include <cstdint>
#include <optional>
#include <vector>

class TMeasureType;

// Distances on the overlay are divided by the zoom in force when the drag
// ends, so every length is in image pixels ("dots") whatever the zoom.

// The Euclidean length in image pixels, truncated toward zero.
std::int32_t ScaleLengthDots(QPoint start, QPoint end, double zoom);

// A line's length in centimetres, not truncated.
double LineLengthCm(QPoint start, QPoint end, double zoom, double dotsPerCm);

// A line's length in centimetres from its ends in image pixels.
double LineLengthCm(QPointF start, QPointF end, double dotsPerCm);

// The unsigned angle between the arms vertex→arm1 and vertex→arm2 in degrees,
// 0 to 180, from points as they are (overlay or image pixels alike). No value
// when an arm has zero length; arms in line give exactly 0 or 180.
std::optional<double> AngleBetweenArms(QPointF vertex, QPointF arm1, QPointF arm2);

// The wanted quantities of a rectangle with opposite corners `start` and
// `end`, in the order Height, Width, Perimeter, Area, skipping those not wanted.
std::vector<double> RectangleQuantities(QPoint start, QPoint end, double zoom, double dotsPerCm,
                                        const TMeasureType &def);
// The same from the corners in image pixels.
std::vector<double> RectangleQuantities(QPointF start, QPointF end, double dotsPerCm, const TMeasureType &def);
