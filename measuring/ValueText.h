#pragma once

#include <QChar>
#include <QString>

// The user's regional decimal separator ("." where none is set).
QChar UserDecimalSeparator();

// The text every value is written as: rounded half up at the fourth decimal
// (from its 18-significant-digit decimal expansion), no leading zero before
// the separator, no trailing fraction zeros, and empty for zero and for any
// magnitude below 0.00001. A value that rounds to zero from 0.00001 up is
// written as the separator and four zeros.
QString FormatValue(double value, QChar decimalSeparator);
inline QString FormatValue(double value) { return FormatValue(value, UserDecimalSeparator()); }
