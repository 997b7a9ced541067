#pragma once

// The export files' small rules as pure functions: how a number, a date and a text are written,
// how a text line and an HTML table row are put together, which writer a file name picks and what
// an export file is called. No window, no file: each takes its input and returns bytes or a value.

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velmora::exportformat {

// The parts of a regional format a number needs, read once from a locale.
struct NumberStyle {
    QByteArray decimalPoint = ".";
    QByteArray minus = "-";
    QByteArray digits[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    bool ascii = true;    // the pieces above are '.', '-' and 0-9
    bool simple = true;   // the digits are 0-9, the decimal point and the minus one byte each
    char point = '.';     // where simple
    char minusSign = '-';
    int room = 48;        // the most bytes a number's text takes in this style
    QLocale locale = QLocale::c();
    static NumberStyle of(const QLocale &locale);
};

// The shortest text that reads back as the same double, without group separators: plain digits
// from 1e-5 up to 1e15, an exponent ("1.5E+20") outside that range. The write* forms put it at
// `out`, which has at least style.room bytes, and return the end.
char *writeNumber(char *out, double value, const NumberStyle &style);
void appendNumber(QByteArray &out, double value, const NumberStyle &style);
// A scaled whole number (value / 10^scale) in appendNumber's form, with the value's own digits:
// the amount the database holds, never the double's neighbour with a shorter text, and it reads
// back as the same double. Where a double cannot hold the value exactly (2^53 and beyond), or
// appendNumber would take an exponent, the double's text.
char *writeScaled(char *out, std::int64_t value, int scale, const NumberStyle &style);
void appendScaled(QByteArray &out, std::int64_t value, int scale, const NumberStyle &style);
QString numberText(double value, const QLocale &locale);

// The general date form: the locale's short date with a four-digit year, a blank and the time with
// seconds; the time is left out at midnight.
struct DateStyle {
    QString datePattern;
    QString timePattern;
    QLocale locale = QLocale::c();
    static DateStyle of(const QLocale &locale);
};
// `msecs` is julianDay * 86'400'000 + milliseconds of the day, as the record tables keep it.
QString generalDate(std::int64_t msecs, const DateStyle &style);
QString generalDate(const QDateTime &when, const QLocale &locale);   // empty for an invalid time

// Text values to HTML: & first, then <, > and ".
void appendHtmlEscaped(QByteArray &out, QStringView text);
QString htmlEscaped(QStringView text);

// The pieces both the HTML page and htmlRecord() put around a row and a value.
inline constexpr char kHtmlRowOpen[] = "<tr>";
inline constexpr char kHtmlCellOpen[] = "<td><p>";
inline constexpr char kHtmlCellClose[] = "&nbsp;</p></td>";
inline constexpr char kHtmlRowClose[] = "</tr>\r\n";

// One line of the text file: the values joined by "|", CR LF after the last (values as they are,
// a "|" inside one included).
QByteArray textRecord(const QStringList &values);
// One table row of the HTML page with its CR LF: "<tr>", each value escaped in
// "<td><p>…&nbsp;</p></td>", "</tr>".
QByteArray htmlRecord(const QStringList &values);
// The header cells of the HTML table: "<th><p>name</p></th>" for each name, escaped, then CR LF.
QByteArray htmlHeader(const QStringList &names);

// Which writer a file name picks: its last three characters, upper-cased.
enum class Writer { Text, Html, Spreadsheet };
Writer writerFor(const QString &fileName);

// Export kinds and their endings: 1 ".xls", 2 ".html", 3 ".txt".
QString endingOf(int kind);
// "{folder}{title} export mm-dd-yyyy hh-mm-ss AM/PM{ending}"; folder ends in a separator.
QString exportFileName(const QString &folder, const QString &title, const QDateTime &when, int kind);

// The money and count columns of a report are written a million times over: their common case
// is inline (forced: left to itself the compiler calls it), so a formatter's loop knows the scale
// and the digits go straight to the output.
namespace scaled {

inline constexpr std::uint64_t kPow10[] = {1ull,
                                           10ull,
                                           100ull,
                                           1'000ull,
                                           10'000ull,
                                           100'000ull,
                                           1'000'000ull,
                                           10'000'000ull,
                                           100'000'000ull,
                                           1'000'000'000ull,
                                           10'000'000'000ull,
                                           100'000'000'000ull,
                                           1'000'000'000'000ull,
                                           10'000'000'000'000ull,
                                           100'000'000'000'000ull,
                                           1'000'000'000'000'000ull,
                                           10'000'000'000'000'000ull,
                                           100'000'000'000'000'000ull,
                                           1'000'000'000'000'000'000ull,
                                           10'000'000'000'000'000'000ull};
inline constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                 "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                 "8081828384858687888990919293949596979899";

// How many decimal digits n has (0 has one). From the bit width (log10 2 is about 1233 / 4096)
// and one compare: every power from 10 up is even, so n | 1 compares with it as n does.
[[gnu::always_inline]] inline int digitCount(std::uint64_t n)
{
    const int guess = ((64 - std::countl_zero(n | 1)) * 1233) >> 12;
    return guess + int((n | 1) >= kPow10[guess]);
}

// The eight decimal digits of n < 10^8, leading zeros included, as the bytes of a little-endian
// word: the first digit in the lowest byte. Lanes of 32, then 16, then 8 bits, each split by a
// multiply and a shift that divide exactly in its range: a loop or a branch on the number of
// digits costs a misprediction on every other value of a column whose lengths vary.
[[gnu::always_inline]] inline std::uint64_t eightDigits(std::uint64_t n)
{
    std::uint64_t v = (n / 10'000) | ((n % 10'000) << 32);
    std::uint64_t high = ((v * 10'486) >> 20) & 0x0000'007F'0000'007Full;
    v = high | ((v - 100 * high) << 16);
    high = ((v * 103) >> 10) & 0x000F'000F'000F'000Full;
    return (high | ((v - 10 * high) << 8)) | 0x3030'3030'3030'3030ull;
}

// How many of the eight digits of a word of eightDigits() count, leaving out its leading zeros
// but keeping at least `least`: the zeros are the low bytes that hold '0', found in one count of
// trailing zero bits (the top bit set, so a word of all zeros counts as one digit).
template <int least>
[[gnu::always_inline]] inline int significantDigits(std::uint64_t word)
{
    const int leading = std::countr_zero((word ^ 0x3030'3030'3030'3030ull) | (std::uint64_t(1) << 63)) / 8;
    return std::max(8 - leading, least);
}

// The decimal digits of n. Below 10^8 (money, counts and ids) all eight are made at once and the
// leading zeros shifted out. Writes up to 8 bytes past the end it returns.
[[gnu::always_inline]] inline char *writeDigits(char *out, std::uint64_t n)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (n < kPow10[8]) {
            const std::uint64_t word = eightDigits(n);
            const int length = significantDigits<1>(word);
            const std::uint64_t v = word >> (8 * (8 - length));
            std::memcpy(out, &v, sizeof v);
            return out + length;
        }
    }
    const int length = digitCount(n);
    char *p = out + length;
    while (n >= 100) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (n % 100), 2);
        n /= 100;
    }
    if (n >= 10)
        std::memcpy(p - 2, kPairs + 2 * n, 2);
    else
        p[-1] = char('0' + n);
    return out + length;
}

// value / 10^Scale with a scale the compiler knows, so it divides by a constant. Up to 10^4 every
// exact value whose whole part is below 10^15 is in appendNumber's plain-digit range, where the
// value's own digits are written; nullptr when the value is outside it. The style's minus sign and
// point come as values, which a caller's loop keeps in registers.
template <int Scale>
[[gnu::always_inline]] inline char *writeSimple(char *out, std::int64_t value, char minusSign, char point)
{
    constexpr std::uint64_t unit = kPow10[Scale];
    constexpr std::uint64_t exact = std::uint64_t(1) << 53;
    const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    if constexpr (Scale > 0 && std::endian::native == std::endian::little) {
        if (magnitude < kPow10[8]) {
            // The whole amount's digits at once, at least one before the point, then the point
            // put in before the last Scale of them; the fraction's trailing zeros are the top
            // bytes of its field that hold '0'.
            *out = minusSign;
            out += value < 0;
            const std::uint64_t word = eightDigits(magnitude);
            const int length = significantDigits<Scale + 1>(word);
            const std::uint64_t digits = word >> (8 * (8 - length));
            const int wholeDigits = length - Scale;
            std::memcpy(out, &digits, sizeof digits);
            const std::uint64_t fraction = digits >> (8 * wholeDigits);
            constexpr std::uint64_t field = (std::uint64_t(1) << (8 * Scale)) - 1;
            const std::uint64_t nonZero = (fraction ^ 0x3030'3030'3030'3030ull) & field;
            if (nonZero == 0)
                return out + wholeDigits;
            out[wholeDigits] = point;
            std::memcpy(out + wholeDigits + 1, &fraction, sizeof fraction);
            const int zeros = (std::countl_zero(nonZero) - (64 - 8 * Scale)) / 8;
            return out + wholeDigits + 1 + Scale - zeros;
        }
    }
    const std::uint64_t whole = magnitude / unit;
    if (magnitude >= exact || whole >= kPow10[15])
        return nullptr;
    if (value < 0)
        *out++ = minusSign;
    out = writeDigits(out, whole);
    if constexpr (Scale > 0) {
        const std::uint64_t fraction = magnitude % unit;
        if (fraction != 0) {
            *out++ = point;
            std::uint64_t rest = fraction;
            char *p = out + Scale;
            for (int i = 0; i < Scale / 2; ++i) {
                p -= 2;
                std::memcpy(p, kPairs + 2 * (rest % 100), 2);
                rest /= 100;
            }
            if constexpr (Scale % 2 != 0)
                p[-1] = char('0' + rest);
            // The trailing zeros are counted, not looped over: no branch to mispredict.
            int zeros = 0;
            for (int k = 1; k < Scale; ++k)
                zeros += int(fraction % kPow10[k] == 0);
            out += Scale - zeros;
        }
    }
    return out;
}

char *writeOther(char *out, std::int64_t value, int scale, const NumberStyle &style);

} // namespace scaled

[[gnu::always_inline]] inline char *writeScaled(char *out, std::int64_t value, int scale, const NumberStyle &style)
{
    char *end = nullptr;
    if (style.simple) {
        switch (scale) {
        case 0: end = scaled::writeSimple<0>(out, value, style.minusSign, style.point); break;
        case 1: end = scaled::writeSimple<1>(out, value, style.minusSign, style.point); break;
        case 2: end = scaled::writeSimple<2>(out, value, style.minusSign, style.point); break;
        case 3: end = scaled::writeSimple<3>(out, value, style.minusSign, style.point); break;
        case 4: end = scaled::writeSimple<4>(out, value, style.minusSign, style.point); break;
        default: break;
        }
    }
    return end ? end : scaled::writeOther(out, value, scale, style);
}

} // namespace velmora::exportformat
