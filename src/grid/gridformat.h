#pragma once

#include "data/recordtable.h"

#include <QLocale>
#include <QString>
#include <QVariant>

#include <cstdint>

namespace velmora::grid {

// What a total format such as "#0" or "#,##0.00" asks for.
struct NumberFormat {
    bool grouping = false;
    int decimals = 0;
};
NumberFormat parseNumberFormat(const QString &format, int defaultDecimals);

// A scaled integer (value * 10^scale) in the format, rounded half away from zero, with the
// locale's separators. Exact: no floating point on the way. A format with more decimals than a
// stored number can have, or a value too large for the decimals asked for, gives a text that
// says so instead of a wrong number.
QString formatScaled(std::int64_t value, int scale, const NumberFormat &format, const QLocale &locale);
__extension__ typedef __int128 WideInt;
QString formatScaled(WideInt value, int scale, const NumberFormat &format, const QLocale &locale);
constexpr int kMaxFormatDecimals = 18;
QString formatReal(double value, const NumberFormat &format, const QLocale &locale);

// Reads what a user typed into a cell of a column of `info`'s type (see parseCellValue): the
// value comes as a CellValue in the QVariant, an invalid QVariant is null. Returns false with a
// reason the user can read when the text is not a value the column holds.
bool parseCellText(const QString &text, const ColumnInfo &info, const QLocale &locale, QVariant *value,
                   QString *reason);

} // namespace velmora::grid
