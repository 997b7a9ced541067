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

#include <cstdint>
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

} // namespace velmora::exportformat
