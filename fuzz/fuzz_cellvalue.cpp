// Texts typed into grid cells: whatever is typed, a value is taken only when it is exactly what
// was typed (never rounded, wrapped or turned into another date), and what the grid shows of the
// value reads back as the same value.
//
// Input: column kind, scale, storage size, locale and null flag bytes, then the typed text.

#include "core/cellvalue.h"
#include "fuzzing.h"

#include <QRegularExpression>

#include <cmath>
#include <optional>

using namespace velmora;

namespace {

__extension__ typedef __int128 int128;

QString show(const QString &typed, const CellSpec &col, const QLocale &locale)
{
    return QStringLiteral("\"%1\" kind %2 scale %3 bytes %4 locale %5")
        .arg(typed)
        .arg(int(col.kind))
        .arg(col.scale)
        .arg(col.bytes)
        .arg(locale.name());
}

// The value as the grid shows it: the locale's digits and separators, all of the scale's decimals.
QString shown(std::int64_t v, int scale, const QLocale &locale)
{
    const bool negative = v < 0;
    std::uint64_t mag = negative ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
    std::uint64_t unit = 1;
    for (int i = 0; i < scale; ++i)
        unit *= 10;
    QString text = locale.toString(qulonglong(mag / unit));
    if (scale > 0)
        text += locale.decimalPoint() + QString::number(mag % unit).rightJustified(scale, u'0');
    return negative ? locale.negativeSign() + text : text;
}

// A plain "-123.4500" text checked against exact arithmetic: whether it is one, whether the column
// can hold it, and its value scaled by 10^scale.
struct Exact {
    bool plain = false;
    bool fits = false;
    std::int64_t value = 0;
};
Exact exactScaled(const QString &text, const CellSpec &col)
{
    static const QRegularExpression plain(QStringLiteral("^([+-]?)([0-9]+)(?:\\.([0-9]+))?$"));
    const auto m = plain.match(text);
    Exact e;
    e.plain = m.hasMatch();
    QString whole = m.captured(2), fraction = m.captured(3);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (!e.plain || fraction.size() > col.scale || whole.size() > 20)
        return e;
    int128 v = 0;
    for (QChar c : whole)
        v = v * 10 + (c.unicode() - '0');
    for (int i = 0; i < col.scale; ++i)
        v = v * 10 + (i < fraction.size() ? fraction.at(i).unicode() - '0' : 0);
    if (m.captured(1) == u"-")
        v = -v;
    e.fits = v >= cellMinimum(col) && v <= cellMaximum(col);
    e.value = e.fits ? std::int64_t(v) : 0;
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::French, QLocale::France),
                                      QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::Arabic, QLocale::Egypt)};
    fuzz::Input in(data, size);
    CellSpec col;
    col.kind = CellKind(in.pick(0, 6));
    col.scale = in.pick(0, 18);
    col.bytes = col.kind == CellKind::Real ? (in.byte() & 1 ? 4 : 8) : 2 << in.pick(0, 2);
    const QLocale &locale = locales[in.pick(0, 4)];
    col.nullable = in.byte() & 1;
    col.maxChars = in.pick(0, 40);
    col.name = QStringLiteral("Amount");
    const QString typed = QString::fromUtf8(in.rest());
    const QString what = show(typed, col, locale);

    Result<CellValue> r = parseCellValue(typed, locale, col);
    if (!r) {
        FUZZ_CHECK_SAY(r.failure().description.contains(col.name), what + r.failure().description);
    } else if (std::holds_alternative<std::monostate>(*r)) {
        FUZZ_CHECK_SAY(col.nullable && typed.trimmed().isEmpty(), what);
    }

    switch (col.kind) {
    case CellKind::Integer: {
        if (locale == QLocale::c()) {
            // Plain numbers are taken exactly when the column holds them and refused otherwise.
            const Exact exact = exactScaled(typed.trimmed(), col);
            if (exact.fits)
                FUZZ_CHECK_SAY(r && std::get<std::int64_t>(*r) == exact.value, what);
            else if (exact.plain)
                FUZZ_CHECK_SAY(!r, what);
        }
        if (!r || !std::holds_alternative<std::int64_t>(*r))
            break;
        const std::int64_t v = std::get<std::int64_t>(*r);
        FUZZ_CHECK_SAY(v >= cellMinimum(col) && v <= cellMaximum(col), what);
        const QString back = shown(v, col.scale, locale);
        Result<CellValue> again = parseCellValue(back, locale, col);
        FUZZ_CHECK_SAY(again && std::get<std::int64_t>(*again) == v, what + QStringLiteral(" shown as ") + back);
        break;
    }
    case CellKind::Real:
        if (r && std::holds_alternative<double>(*r))
            FUZZ_CHECK_SAY(std::isfinite(std::get<double>(*r)), what);
        break;
    case CellKind::Date:
        if (r && std::holds_alternative<QDate>(*r)) {
            const QDate d = std::get<QDate>(*r);
            FUZZ_CHECK_SAY(d.isValid() && d.year() >= 1 && d.year() <= 9999, what);
            Result<CellValue> again = parseCellValue(d.toString(Qt::ISODate), locale, col);
            FUZZ_CHECK_SAY(again && std::get<QDate>(*again) == d, what + d.toString(Qt::ISODate));
        }
        break;
    case CellKind::Time:
        if (r && std::holds_alternative<QString>(*r)) {
            const QString t = std::get<QString>(*r);
            Result<CellValue> again = parseCellValue(t, locale, col);
            FUZZ_CHECK_SAY(again && std::get<QString>(*again) == t, what + QStringLiteral(" read as ") + t);
        }
        break;
    case CellKind::Timestamp:
        if (r && std::holds_alternative<QDateTime>(*r)) {
            const QDateTime t = std::get<QDateTime>(*r);
            const QString iso = t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
            Result<CellValue> again = parseCellValue(iso, locale, col);
            FUZZ_CHECK_SAY(again && std::get<QDateTime>(*again) == t, what + QStringLiteral(" read as ") + iso);
        }
        break;
    case CellKind::Text:
        if (r)
            FUZZ_CHECK_SAY(col.maxChars == 0 || std::get<QString>(*r).toUcs4().size() <= col.maxChars, what);
        break;
    case CellKind::Boolean:
        break;
    }
    return 0;
}
