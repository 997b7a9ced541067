// Export files carry the store's values to browsers, spreadsheets and text tools: whatever a value
// holds, an HTML cell shows it as text, a text line keeps its fields apart, a number reads back
// as the same double, and a scaled whole number (money) is written with its own digits.
//
// Input: values (texts ended by a lone backslash); the first eight bytes are also read as a double
// and as a whole number, the ninth as its scale.

#include "export/exportformat.h"
#include "fuzzing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace velmora;
using namespace velmora::exportformat;

namespace {

QString unescaped(QString s)
{
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input in(data, size);
    QStringList values;
    while (!in.atEnd())
        values << in.text();

    for (const QString &v : values) {
        const QString escaped = htmlEscaped(v);
        FUZZ_CHECK_SAY(!escaped.contains(u'<') && !escaped.contains(u'>') && !escaped.contains(u'"'), escaped);
        FUZZ_CHECK_SAY(unescaped(escaped) == v, v + QStringLiteral(" -> ") + escaped);
    }

    // Markup left after the row's own pieces would come from a value.
    QByteArray row = htmlRecord(values);
    FUZZ_CHECK(row.startsWith(kHtmlRowOpen) && row.endsWith(kHtmlRowClose));
    FUZZ_CHECK(row.count(kHtmlCellOpen) == values.size());
    for (const char *piece : {kHtmlRowOpen, kHtmlRowClose, kHtmlCellOpen, kHtmlCellClose})
        row.replace(piece, "");
    FUZZ_CHECK_SAY(!row.contains('<') && !row.contains('>'), QString::fromUtf8(row));

    const QByteArray line = textRecord(values);
    FUZZ_CHECK(line.endsWith("\r\n"));
    const bool plain = std::none_of(values.begin(), values.end(), [](const QString &v) {
        return v.contains(u'|') || v.contains(u'\r') || v.contains(u'\n');
    });
    if (plain && !values.isEmpty())
        FUZZ_CHECK_SAY(QString::fromUtf8(line.chopped(2)).split(u'|') == values, QString::fromUtf8(line));

    if (size >= sizeof(double)) {
        double d;
        std::memcpy(&d, data, sizeof d);
        if (std::isfinite(d)) {
            QByteArray out;
            appendNumber(out, d, NumberStyle());
            FUZZ_CHECK_SAY(std::strtod(out.constData(), nullptr) == d, QString::fromLatin1(out));
        }
    }
    if (size > sizeof(std::int64_t)) {
        std::int64_t v;
        std::memcpy(&v, data, sizeof v);
        const int scale = data[sizeof v] % 20 - 1;   // -1 and 19 are outside the scales a column has
        const double real = scale >= 0 && scale <= 18 ? double(v) / std::pow(10.0, scale) : double(v);
        // The amount as the database holds it: the digits of v with the point put in by hand.
        std::string exact = std::to_string(v < 0 ? 0 - std::uint64_t(v) : std::uint64_t(v));
        if (scale > 0) {
            exact.insert(0, std::size_t(std::max(0, scale + 1 - int(exact.size()))), '0');
            exact.insert(exact.size() - std::size_t(scale), 1, ',');
            while (exact.back() == '0')
                exact.pop_back();
            if (exact.back() == ',')
                exact.pop_back();
        }
        if (v < 0)
            exact.insert(0, 1, '-');
        static const NumberStyle comma = NumberStyle::of(QLocale(QLocale::German, QLocale::Germany));
        QByteArray scaled;
        appendScaled(scaled, v, scale, comma);
        const bool held = v > -(std::int64_t(1) << 53) && v < (std::int64_t(1) << 53) && scale >= 0 && scale <= 18;
        if (held && !scaled.contains('E'))
            FUZZ_CHECK_SAY(scaled.toStdString() == exact, QString::fromUtf8(scaled) + QStringLiteral(" vs ") + QString::fromStdString(exact));
        FUZZ_CHECK_SAY(std::strtod(scaled.replace(',', '.').constData(), nullptr) == real, QString::fromUtf8(scaled));
    }
    return 0;
}
