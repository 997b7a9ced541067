#include "export/exportformat.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velmora::exportformat {

namespace {

constexpr std::int64_t kMsecsPerDay = 86'400'000;

// Longest ASCII text a number takes: 17 significant digits, a sign, a point, up to 18 digits of
// a scale or four leading zeros, or an exponent.
constexpr int kAsciiNumber = 48;

// Puts ASCII number text (digits, '.', '-', '+', 'E') at out in the style's characters.
char *localized(char *out, const char *p, const char *end, const NumberStyle &style)
{
    if (style.ascii) {
        std::memcpy(out, p, std::size_t(end - p));
        return out + (end - p);
    }
    const auto put = [&out](const QByteArray &piece) {
        std::memcpy(out, piece.constData(), std::size_t(piece.size()));
        out += piece.size();
    };
    for (; p != end; ++p) {
        const char c = *p;
        if (c == '.')
            put(style.decimalPoint);
        else if (c == '-')
            put(style.minus);
        else if (c >= '0' && c <= '9')
            put(style.digits[c - '0']);
        else
            *out++ = c;
    }
    return out;
}

} // namespace

NumberStyle NumberStyle::of(const QLocale &locale)
{
    NumberStyle s;
    s.locale = locale;
    s.locale.setNumberOptions(QLocale::OmitGroupSeparator);
    s.decimalPoint = locale.decimalPoint().toUtf8();
    s.minus = locale.negativeSign().toUtf8();
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    if (!zero.isEmpty() && zero.first() != U'0') {
        for (char32_t d = 0; d < 10; ++d) {
            const char32_t digit = char32_t(zero.first()) + d;
            s.digits[d] = QString::fromUcs4(&digit, 1).toUtf8();
        }
    }
    s.ascii = s.decimalPoint == "." && s.minus == "-" && s.digits[0] == "0";
    s.simple = s.decimalPoint.size() == 1 && s.minus.size() == 1 && s.digits[0] == "0";
    if (s.simple) {
        s.point = s.decimalPoint[0];
        s.minusSign = s.minus[0];
    }
    qsizetype widest = std::max(s.decimalPoint.size(), s.minus.size());
    for (const QByteArray &d : s.digits)
        widest = std::max(widest, d.size());
    s.room = int(std::max<qsizetype>(widest * kAsciiNumber, s.locale.toString(-qInf()).toUtf8().size() + 8));
    return s;
}

char *writeNumber(char *out, double value, const NumberStyle &style)
{
    if (!std::isfinite(value)) {
        const QByteArray text = style.locale.toString(value).toUtf8();
        const auto n = std::min<qsizetype>(text.size(), style.room);
        std::memcpy(out, text.constData(), std::size_t(n));
        return out + n;
    }
    if (value == 0) {
        const char zero = '0';
        return localized(out, &zero, &zero + 1, style);
    }
    char buf[64];
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-5 && magnitude < 1e15) {
        const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
        return localized(out, buf, r.ptr, style);
    }
    // Scientific: the mantissa's shortest digits, "E", a sign and at least two exponent digits.
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    for (char *p = buf; p != r.ptr; ++p) {
        if (*p == 'e')
            *p = 'E';
    }
    return localized(out, buf, r.ptr, style);
}

void appendNumber(QByteArray &out, double value, const NumberStyle &style)
{
    const qsizetype at = out.size();
    out.resize(at + style.room);
    out.truncate(writeNumber(out.data() + at, value, style) - out.constData());
}

// The scales, styles and values the inline writeScaled() leaves over.
char *scaled::writeOther(char *out, std::int64_t value, int scale, const NumberStyle &style)
{
    constexpr std::int64_t exact = std::int64_t(1) << 53;
    if (scale < 0 || scale > 18 || value <= -exact || value >= exact)
        return writeNumber(out, scale >= 0 && scale <= 18 ? double(value) / double(scaled::kPow10[scale]) : double(value),
                           style);
    const std::uint64_t magnitude = std::uint64_t(value < 0 ? -value : value);
    const std::uint64_t unit = scaled::kPow10[scale];
    // Outside the plain-digit range the double's own text decides.
    if (magnitude != 0 && (magnitude / unit >= 1'000'000'000'000'000ull || magnitude < unit / 100'000ull))
        return writeNumber(out, double(value) / double(scaled::kPow10[scale]), style);
    char buf[kAsciiNumber];
    char *p = buf;
    if (value < 0)
        *p++ = '-';
    const std::uint64_t whole = magnitude / unit;
    std::uint64_t fraction = magnitude % unit;
    p = std::to_chars(p, buf + sizeof buf, whole).ptr;
    if (fraction != 0) {
        int digits = scale;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        *p++ = '.';
        char frac[24];
        const char *fe = std::to_chars(frac, frac + sizeof frac, fraction).ptr;
        for (int pad = digits - int(fe - frac); pad > 0; --pad)
            *p++ = '0';
        for (const char *f = frac; f != fe; ++f)
            *p++ = *f;
    }
    return localized(out, buf, p, style);
}

void appendScaled(QByteArray &out, std::int64_t value, int scale, const NumberStyle &style)
{
    const qsizetype at = out.size();
    out.resize(at + style.room);
    out.truncate(writeScaled(out.data() + at, value, scale, style) - out.constData());
}

QString numberText(double value, const QLocale &locale)
{
    QByteArray out;
    appendNumber(out, value, NumberStyle::of(locale));
    return QString::fromUtf8(out);
}

DateStyle DateStyle::of(const QLocale &locale)
{
    DateStyle s;
    s.locale = locale;
    s.datePattern = locale.dateFormat(QLocale::ShortFormat);
    // Some locales' short dates have two-digit years, which would turn 1899 into 99.
    if (!s.datePattern.contains(QLatin1String("yyyy"))) {
        const qsizetype y = s.datePattern.indexOf(QLatin1String("yy"));
        if (y >= 0)
            s.datePattern.replace(y, 2, QStringLiteral("yyyy"));
    }
    s.timePattern = locale.timeFormat(QLocale::ShortFormat);
    if (!s.timePattern.contains(QLatin1Char('s'))) {
        const qsizetype m = s.timePattern.lastIndexOf(QLatin1String("mm"));
        if (m >= 0) {
            const QChar sep = m > 0 && !s.timePattern.at(m - 1).isLetter() ? s.timePattern.at(m - 1) : QLatin1Char(':');
            s.timePattern.insert(m + 2, QString(sep) + QStringLiteral("ss"));
        }
    }
    return s;
}

QString generalDate(std::int64_t msecs, const DateStyle &style)
{
    const std::int64_t day = msecs >= 0 ? msecs / kMsecsPerDay : -((-msecs + kMsecsPerDay - 1) / kMsecsPerDay);
    const int ofDay = int(msecs - day * kMsecsPerDay);
    QString text = style.locale.toString(QDate::fromJulianDay(day), style.datePattern);
    if (ofDay != 0) {
        text += QLatin1Char(' ');
        text += style.locale.toString(QTime::fromMSecsSinceStartOfDay(ofDay), style.timePattern);
    }
    return text;
}

QString generalDate(const QDateTime &when, const QLocale &locale)
{
    if (!when.isValid())
        return QString();
    return generalDate(when.date().toJulianDay() * kMsecsPerDay + when.time().msecsSinceStartOfDay(),
                       DateStyle::of(locale));
}

void appendHtmlEscaped(QByteArray &out, QStringView text)
{
    // Values come from the store's data and the host: a customer name holding markup must show as
    // text in the browser, never be run as part of the page.
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char *entity = c == u'&' ? "&amp;" : c == u'<' ? "&lt;" : c == u'>' ? "&gt;" : c == u'"' ? "&quot;" : nullptr;
        if (!entity)
            continue;
        out += text.mid(from, i - from).toUtf8();
        out += entity;
        from = i + 1;
    }
    out += text.mid(from).toUtf8();
}

QString htmlEscaped(QStringView text)
{
    QByteArray out;
    appendHtmlEscaped(out, text);
    return QString::fromUtf8(out);
}

QByteArray textRecord(const QStringList &values)
{
    QByteArray out = values.join(QLatin1Char('|')).toUtf8();
    out += "\r\n";
    return out;
}

QByteArray htmlRecord(const QStringList &values)
{
    QByteArray out = kHtmlRowOpen;
    for (const QString &v : values) {
        out += kHtmlCellOpen;
        appendHtmlEscaped(out, v);
        out += kHtmlCellClose;
    }
    out += kHtmlRowClose;
    return out;
}

QByteArray htmlHeader(const QStringList &names)
{
    QByteArray out;
    for (const QString &n : names) {
        out += "<th><p>";
        appendHtmlEscaped(out, n);
        out += "</p></th>";
    }
    out += "\r\n";
    return out;
}

Writer writerFor(const QString &fileName)
{
    const QString end = fileName.right(3).toUpper();
    if (end == u"TXT")
        return Writer::Text;
    if (end == u"TML")
        return Writer::Html;
    return Writer::Spreadsheet;
}

QString endingOf(int kind)
{
    switch (kind) {
    case 2: return QStringLiteral(".html");
    case 3: return QStringLiteral(".txt");
    default: return QStringLiteral(".xls");
    }
}

QString exportFileName(const QString &folder, const QString &title, const QDateTime &when, int kind)
{
    return folder + title + QStringLiteral(" export ") +
           QLocale::c().toString(when, QStringLiteral("MM-dd-yyyy hh-mm-ss AP")) + endingOf(kind);
}

} // namespace velmora::exportformat
