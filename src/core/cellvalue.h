#pragma once

#include "core/result.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <variant>

namespace velmora {

// What a typed cell is stored as.
enum class CellKind : std::uint8_t { Integer, Real, Date, Time, Timestamp, Boolean, Text };

// The column a text is typed into, as far as reading the text needs it.
struct CellSpec {
    CellKind kind = CellKind::Text;
    int scale = 0;        // Integer: decimals kept; the value is stored times 10^scale
    int bytes = 8;        // Integer: 2, 4 or 8 bytes of storage; Real: 4 (single) or 8 (double)
    int maxChars = 0;     // Text: characters the column holds; 0 = no limit
    bool nullable = true;
    QString name;         // the column as the user knows it, for messages
};

// Null, a scaled integer, a double, a day, a time of day ("hh:mm:ss" or "hh:mm:ss.ffff"),
// a wall-clock day and time (UTC: no zone, no daylight-saving shifts), a flag, a text.
using CellValue = std::variant<std::monostate, std::int64_t, double, QDate, QString, QDateTime, bool>;

// Reads a typed text as a value of the column, exactly: numbers go from their decimal digits
// straight to the stored integer, never through a double. The user's locale (group separators,
// decimal comma, its short date form) is tried first, then the C form ("-1234.5", "2024-02-29",
// "2024-02-29 13:05:07.123"). An empty text is null (for texts: the empty text). A value with
// more decimals than the column keeps, outside the column's range, or not of its kind is a
// Failure whose description names the column and says what it holds; nothing is rounded.
Result<CellValue> parseCellValue(QStringView text, const QLocale &locale, const CellSpec &col);

// The smallest and largest value of an Integer column, scaled.
std::int64_t cellMinimum(const CellSpec &col);
std::int64_t cellMaximum(const CellSpec &col);

} // namespace velmora
