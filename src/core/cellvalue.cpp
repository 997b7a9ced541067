#include "core/cellvalue.h"

#include <QRegularExpression>
#include <QTime>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <utility>

namespace velmora {

namespace {

__extension__ typedef unsigned __int128 uint128;
__extension__ typedef __int128 int128;

// Firebird keeps at most 18 decimals; a wider scale cannot come from a real column.
constexpr int kMaxScale = 18;

Failure refusal(const QString &text)
{
    Failure f;
    f.description = text;
    return f;
}

struct Decimal {
    bool negative = false;
    QString whole;      // ASCII digits before the decimal point
    QString fraction;   // ASCII digits after it
    int exponent = 0;
};

bool isSpaceLike(QChar c)
{
    return c == QLatin1Char(' ') || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009);
}

// One notation: a sign, digits in groups of three after the first, one decimal point and, for
// floating columns, an exponent. Groups must be whole so that "1,5" typed under a locale whose
// group separator is "," is not read as fifteen.
std::optional<Decimal> readDecimal(QStringView s, QStringView point, QStringView group, QStringView minus,
                                   QStringView plus, bool exponent)
{
    Decimal d;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto at = [&](QStringView what) { return !what.isEmpty() && s.mid(i).startsWith(what); };
    if (at(minus)) {
        d.negative = true;
        i += minus.size();
    } else if (i < n && (s[i] == QLatin1Char('-') || s[i] == QChar(0x2212))) {
        d.negative = true;
        ++i;
    } else if (at(plus)) {
        i += plus.size();
    } else if (i < n && s[i] == QLatin1Char('+')) {
        ++i;
    }
    bool inFraction = false;
    int grouped = -1;   // digits since the last group separator; -1 before the first
    bool digits = false;
    const bool spaceGroups = !group.isEmpty() && isSpaceLike(group.front());
    while (i < n) {
        const QChar c = s[i];
        if (c.isDigit()) {
            (inFraction ? d.fraction : d.whole) += QLatin1Char(char('0' + c.digitValue()));
            if (!inFraction && grouped >= 0)
                ++grouped;
            digits = true;
            ++i;
            continue;
        }
        if (!inFraction && (at(group) || (spaceGroups && isSpaceLike(c)))) {
            if (d.whole.isEmpty() || (grouped >= 0 && grouped != 3))
                return std::nullopt;
            grouped = 0;
            i += at(group) ? group.size() : 1;
            continue;
        }
        if (!inFraction && at(point)) {
            if (grouped >= 0 && grouped != 3)
                return std::nullopt;
            inFraction = true;
            i += point.size();
            continue;
        }
        break;
    }
    if (!digits || (!inFraction && grouped >= 0 && grouped != 3))
        return std::nullopt;
    if (exponent && i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) {
            negativeExponent = s[i] == QLatin1Char('-');
            ++i;
        }
        const qsizetype first = i;
        int e = 0;
        while (i < n && s[i].isDigit()) {
            if (e < 100000)
                e = e * 10 + s[i].digitValue();
            ++i;
        }
        if (i == first)
            return std::nullopt;
        d.exponent = negativeExponent ? -e : e;
    }
    if (i != n)
        return std::nullopt;
    return d;
}

std::optional<Decimal> readNumber(QStringView text, const QLocale &locale, bool exponent)
{
    if (auto d = readDecimal(text, locale.decimalPoint(), locale.groupSeparator(), locale.negativeSign(),
                             locale.positiveSign(), exponent))
        return d;
    return readDecimal(text, u".", {}, u"-", u"+", exponent);
}

// A scaled value with the locale's separators and all of the scale's decimals.
QString scaledText(std::int64_t v, int scale, const QLocale &locale)
{
    const bool negative = v < 0;
    std::uint64_t mag = negative ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
    std::uint64_t unit = 1;
    for (int i = 0; i < scale; ++i)
        unit *= 10;
    QString text = locale.toString(qulonglong(mag / unit));
    if (scale > 0)
        text += locale.decimalPoint() + QString::number(mag % unit).rightJustified(scale, QLatin1Char('0'));
    return negative ? locale.negativeSign() + text : text;
}

int scaleOf(const CellSpec &col)
{
    return std::clamp(col.scale, 0, kMaxScale);
}

Result<CellValue> readScaled(QStringView text, const QLocale &locale, const CellSpec &col)
{
    const auto d = readNumber(text, locale, false);
    if (!d)
        return refusal(QStringLiteral("\"%1\" is not a number: the column \"%2\" holds numbers.")
                           .arg(text.toString(), col.name));
    const int scale = scaleOf(col);
    QString whole = d->whole;
    QString fraction = d->fraction;
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (fraction.size() > scale) {
        if (scale == 0)
            return refusal(QStringLiteral("The column \"%1\" holds whole numbers only: \"%2\" has decimals.")
                               .arg(col.name, text.toString()));
        return refusal(QStringLiteral("The column \"%1\" holds numbers with at most %2 decimals: \"%3\" has more.")
                           .arg(col.name)
                           .arg(scale)
                           .arg(text.toString()));
    }
    auto outside = [&] {
        return refusal(QStringLiteral("\"%1\" is outside the range of the column \"%2\", which holds numbers from %3 "
                                      "to %4.")
                           .arg(text.toString(), col.name, scaledText(cellMinimum(col), scale, locale),
                                scaledText(cellMaximum(col), scale, locale)));
    };
    // At most 20 whole digits and 18 decimals: 38 digits still fit 128 bits.
    if (whole.size() > 20)
        return outside();
    uint128 mag = 0;
    for (QChar c : std::as_const(whole))
        mag = mag * 10 + uint128(c.unicode() - '0');
    for (int i = 0; i < scale; ++i)
        mag = mag * 10 + uint128(i < fraction.size() ? fraction.at(i).unicode() - '0' : 0);
    const uint128 limit = d->negative ? uint128(-int128(cellMinimum(col)))
                                      : uint128(cellMaximum(col));
    if (mag > limit)
        return outside();
    const std::int64_t v = d->negative ? std::int64_t(-int128(mag)) : std::int64_t(mag);
    return CellValue(v);
}

Result<CellValue> readReal(QStringView text, const QLocale &locale, const CellSpec &col)
{
    const auto d = readNumber(text, locale, true);
    if (!d)
        return refusal(QStringLiteral("\"%1\" is not a number: the column \"%2\" holds numbers.")
                           .arg(text.toString(), col.name));
    const QString c = (d->negative ? QStringLiteral("-") : QString())
        + (d->whole.isEmpty() ? QStringLiteral("0") : d->whole) + QLatin1Char('.') + d->fraction
        + QStringLiteral("e%1").arg(d->exponent);
    bool ok = false;
    const double v = QLocale::c().toDouble(c, &ok);
    const double largest = col.bytes == 4 ? double(FLT_MAX) : DBL_MAX;
    if (!ok || !std::isfinite(v) || std::fabs(v) > largest)
        return refusal(QStringLiteral("\"%1\" is outside the range of the column \"%2\", which holds numbers up to %3.")
                           .arg(text.toString(), col.name, QLocale::c().toString(largest, 'g', 9)));
    return CellValue(v);
}

bool twoDigitYear(const QString &format)
{
    return format.contains(QStringLiteral("yy")) && !format.contains(QStringLiteral("yyyy"));
}

QDate readDate(const QString &t, const QLocale &locale)
{
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (iso.match(t).hasMatch())
        return QDate::fromString(t, Qt::ISODate);
    const QString shortForm = locale.dateFormat(QLocale::ShortFormat);
    // Two-digit years fall in 1930-2029, as the store's Windows systems read them.
    if (twoDigitYear(shortForm)) {
        QDate d = locale.toDate(t, shortForm);
        if (d.isValid())
            return d.year() < 1930 ? d.addYears(100) : d;
    }
    QString fullYear = shortForm;
    if (twoDigitYear(fullYear))
        fullYear.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    for (const QString &format : {fullYear, locale.dateFormat(QLocale::LongFormat)}) {
        // A year of one or two digits under a four-digit form is a typing slip, not year 24.
        const QDate d = locale.toDate(t, format);
        if (d.isValid() && d.year() >= 100)
            return d;
    }
    return {};
}

// A time of day in ten-thousandths of a second since midnight, the engine's own resolution.
std::optional<std::int64_t> readTime(const QString &t, const QLocale &locale)
{
    static const QRegularExpression plain(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d{1,4}))?)?$"));
    const auto m = plain.match(t);
    if (m.hasMatch()) {
        const int h = m.captured(1).toInt(), min = m.captured(2).toInt(), s = m.captured(3).toInt();
        if (h > 23 || min > 59 || s > 59)
            return std::nullopt;
        const int fraction = m.captured(4).leftJustified(4, QLatin1Char('0')).toInt();
        return ((std::int64_t(h) * 60 + min) * 60 + s) * 10000 + fraction;
    }
    for (const auto form : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QTime time = locale.toTime(t, form);
        if (time.isValid())
            return std::int64_t(time.msecsSinceStartOfDay()) * 10;
    }
    return std::nullopt;
}

QString timeText(std::int64_t units)
{
    const std::int64_t secs = units / 10000;
    QString s = QStringLiteral("%1:%2:%3")
                    .arg(secs / 3600, 2, 10, QLatin1Char('0'))
                    .arg((secs / 60) % 60, 2, 10, QLatin1Char('0'))
                    .arg(secs % 60, 2, 10, QLatin1Char('0'));
    if (units % 10000)
        s += QStringLiteral(".%1").arg(units % 10000, 4, 10, QLatin1Char('0'));
    return s;
}

bool inEngineRange(const QDate &d)
{
    return d.isValid() && d.year() >= 1 && d.year() <= 9999;
}

} // namespace

std::int64_t cellMaximum(const CellSpec &col)
{
    switch (col.bytes) {
    case 2: return INT16_MAX;
    case 4: return INT32_MAX;
    default: return INT64_MAX;
    }
}

std::int64_t cellMinimum(const CellSpec &col)
{
    switch (col.bytes) {
    case 2: return INT16_MIN;
    case 4: return INT32_MIN;
    default: return INT64_MIN;
    }
}

Result<CellValue> parseCellValue(QStringView input, const QLocale &locale, const CellSpec &col)
{
    const QString text = input.trimmed().toString();
    if (col.kind == CellKind::Text) {
        if (col.maxChars > 0 && input.size() > col.maxChars && input.toUcs4().size() > col.maxChars)
            return refusal(QStringLiteral("The text is longer than the %1 characters the field %2 holds.")
                               .arg(col.maxChars)
                               .arg(col.name));
        return CellValue(input.toString());
    }
    if (text.isEmpty()) {
        if (!col.nullable)
            return refusal(QStringLiteral("The column \"%1\" must have a value.").arg(col.name));
        return CellValue();
    }
    switch (col.kind) {
    case CellKind::Integer: return readScaled(text, locale, col);
    case CellKind::Real: return readReal(text, locale, col);
    case CellKind::Boolean: {
        const QString t = text.toLower();
        if (t == u"1" || t == u"true" || t == u"yes")
            return CellValue(true);
        if (t == u"0" || t == u"false" || t == u"no")
            return CellValue(false);
        return refusal(QStringLiteral("\"%1\" is not a valid value for the column \"%2\", which holds yes or no.")
                           .arg(text, col.name));
    }
    case CellKind::Date: {
        const QDate d = readDate(text, locale);
        if (!inEngineRange(d))
            return refusal(QStringLiteral("\"%1\" is not a valid value for the column \"%2\", which holds dates such "
                                          "as %3 or 2024-12-31.")
                               .arg(text, col.name, locale.toString(QDate(2024, 12, 31), QLocale::ShortFormat)));
        return CellValue(d);
    }
    case CellKind::Time: {
        const auto t = readTime(text, locale);
        if (!t)
            return refusal(QStringLiteral("\"%1\" is not a valid value for the column \"%2\", which holds times of day "
                                          "such as 13:05 or 13:05:07.")
                               .arg(text, col.name));
        return CellValue(timeText(*t));
    }
    case CellKind::Timestamp: {
        QDate day = readDate(text, locale);
        std::optional<std::int64_t> time = day.isValid() ? std::optional<std::int64_t>(0) : std::nullopt;
        for (qsizetype i = 1; !time && i + 1 < text.size(); ++i) {
            if (text.at(i) != QLatin1Char(' ') && text.at(i) != QLatin1Char('T'))
                continue;
            day = readDate(text.left(i).trimmed(), locale);
            if (day.isValid())
                time = readTime(text.mid(i + 1).trimmed(), locale);
        }
        if (!time || !inEngineRange(day))
            return refusal(QStringLiteral("\"%1\" is not a valid value for the column \"%2\", which holds dates with "
                                          "times such as 2024-12-31 13:05:07.")
                               .arg(text, col.name));
        if (*time % 10)
            return refusal(QStringLiteral("The column \"%1\" holds times to the thousandth of a second: \"%2\" has "
                                          "more decimals.")
                               .arg(col.name, text));
        return CellValue(QDateTime(day, QTime::fromMSecsSinceStartOfDay(int(*time / 10)), Qt::UTC));
    }
    case CellKind::Text: break;
    }
    return CellValue(text);
}

} // namespace velmora
