#include "measuring/ValueText.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

QChar UserDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  return point.isEmpty() ? QChar(u'.') : point.at(0);
}

QString FormatValue(double value, QChar sep) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  const bool negative = value < 0;
  const double magnitude = std::fabs(value);
  if (magnitude < 0.00001) return QString();

  // 18 significant digits: d.ddddddddddddddddde[+-]xx
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17e", magnitude);
  std::string digits;
  const char *p = buffer;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int intLength = std::atoi(p + 1) + 1;  // digits before the decimal point

  // Keep the digits up to the fourth decimal, rounding half up on the rest.
  const int keep = intLength + 4;
  if (keep < int(digits.size())) {
    const bool up = keep >= 0 && digits[keep] >= '5';
    digits.resize(keep > 0 ? keep : 0);
    if (up) {
      int i = int(digits.size()) - 1;
      for (; i >= 0 && digits[i] == '9'; --i) digits[i] = '0';
      if (i >= 0) {
        ++digits[i];
      } else {
        digits.insert(digits.begin(), '1');
        ++intLength;
      }
    }
  }
  std::string integer, fraction;
  if (intLength > 0) {
    integer = digits.substr(0, intLength);
    if (int(integer.size()) < intLength) integer.append(intLength - integer.size(), '0');
    fraction = intLength < int(digits.size()) ? digits.substr(intLength) : std::string();
  } else {
    fraction = std::string(-intLength, '0') + digits;
  }
  if (fraction.size() > 4) fraction.resize(4);
  const size_t firstNonZero = integer.find_first_not_of('0');
  integer = firstNonZero == std::string::npos ? std::string() : integer.substr(firstNonZero);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();

  QString text;
  if (negative) text += u'-';
  if (integer.empty() && fraction.empty()) return text + sep + QStringLiteral("0000");
  text += QString::fromLatin1(integer.c_str());
  if (!fraction.empty()) text += sep + QString::fromLatin1(fraction.c_str());
  return text;
}
