#include "grid/gridformat.h"

#include <variant>

namespace velmora::grid {

namespace {

__extension__ typedef unsigned __int128 uint128;

uint128 pow10(int n)
{
    uint128 v = 1;
    while (n-- > 0)
        v *= 10;
    return v;
}

QString digitsOf(uint128 v)
{
    char buf[48];
    char *p = buf + sizeof buf;
    do {
        *--p = char('0' + int(v % 10));
        v /= 10;
    } while (v != 0);
    return QString::fromLatin1(p, qsizetype(buf + sizeof buf - p));
}

QString groupDigits(const QString &digits, const QLocale &locale)
{
    const QString sep = locale.groupSeparator();
    QString out;
    out.reserve(digits.size() + digits.size() / 3 * sep.size());
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += sep;
        out += digits.at(i);
    }
    return out;
}

} // namespace

NumberFormat parseNumberFormat(const QString &format, int defaultDecimals)
{
    NumberFormat f;
    if (format.isEmpty()) {
        f.decimals = defaultDecimals;
        return f;
    }
    const qsizetype dot = format.indexOf(QLatin1Char('.'));
    f.grouping = format.left(dot < 0 ? format.size() : dot).contains(QLatin1Char(','));
    if (dot >= 0)
        for (qsizetype i = dot + 1; i < format.size() && (format.at(i) == QLatin1Char('0') || format.at(i) == QLatin1Char('#')); ++i)
            ++f.decimals;
    return f;
}

QString formatScaled(std::int64_t value, int scale, const NumberFormat &format, const QLocale &locale)
{
    return formatScaled(WideInt(value), scale, format, locale);
}

QString formatScaled(WideInt value, int scale, const NumberFormat &format, const QLocale &locale)
{
    if (format.decimals < 0 || format.decimals > kMaxFormatDecimals || scale < 0 || scale > kMaxFormatDecimals)
        return QStringLiteral("(the format asks for more than %1 decimals)").arg(kMaxFormatDecimals);
    const bool negative = value < 0;
    uint128 a = negative ? uint128(0) - uint128(value) : uint128(value);
    if (format.decimals >= scale) {
        const uint128 factor = pow10(format.decimals - scale);
        if (a > ~uint128(0) / factor)
            return QStringLiteral("(too large to show)");
        a *= factor;
    } else {
        const uint128 div = pow10(scale - format.decimals);
        a = a / div + (a % div >= div - div / 2 ? 1 : 0);
    }
    const uint128 unit = pow10(format.decimals);
    const QString whole = digitsOf(a / unit);
    QString text = format.grouping ? groupDigits(whole, locale) : whole;
    if (format.decimals > 0)
        text += locale.decimalPoint() + digitsOf(a % unit).rightJustified(format.decimals, QLatin1Char('0'));
    if (negative && a != 0)
        text.prepend(locale.negativeSign());
    return text;
}

QString formatReal(double value, const NumberFormat &format, const QLocale &locale)
{
    QLocale l = locale;
    l.setNumberOptions(format.grouping ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    return l.toString(value, 'f', format.decimals);
}

bool parseCellText(const QString &input, const ColumnInfo &info, const QLocale &locale, QVariant *value,
                   QString *reason)
{
    const Result<CellValue> parsed = parseCellValue(input, locale, cellSpecOf(info));
    if (!parsed) {
        *reason = parsed.failure().description;
        return false;
    }
    // Handed on as the exact value, so that nothing between here and the database rounds it.
    *value = std::holds_alternative<std::monostate>(parsed.value()) ? QVariant() : QVariant::fromValue(parsed.value());
    return true;
}

} // namespace velmora::grid
