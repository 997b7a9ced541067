// The message body a host passes in (HTML from its own templates or from the mail window's editor)
// is rewritten before a send: whatever it holds, the rewriting ends, cuts only the one tag it
// names, and leaves every picture named by a bare file name or by its content id.
//
// Input: the HTML, then a picture's file name and its content id (texts ended by a lone backslash).

#include "core/mailrules.h"
#include "fuzzing.h"

#include <QRegularExpression>

using namespace velmora;
using namespace velmora::mailrules;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input in(data, size);
    const QString html = in.text();
    const QString name = in.text();
    const QString cid = in.text();

    // The base reference: nothing, or one "<base href=...>" tag, is cut out.
    const QString noBase = removeBaseReference(html);
    if (noBase != html) {
        const qsizetype start = html.indexOf(QLatin1String("<base href="));
        const qsizetype cut = html.size() - noBase.size();
        FUZZ_CHECK_SAY(start >= 0 && cut > 0, html);
        const QString tag = html.mid(start, cut);
        FUZZ_CHECK_SAY(tag.endsWith(u'>') && tag.count(u'>') == 1, tag);
        FUZZ_CHECK_SAY(noBase == html.left(start) + html.mid(start + cut), html);
    }

    // Pictures named by path keep only their file names, and a second pass finds nothing to do.
    const QString reduced = reduceImageSources(html);
    FUZZ_CHECK(reduced.size() <= html.size());
    FUZZ_CHECK_SAY(reduceImageSources(reduced) == reduced, reduced);
    static const QRegularExpression editorImage(QStringLiteral("<img src=\"([^\"]*)\""));
    for (auto it = editorImage.globalMatch(reduced); it.hasNext();) {
        const QString value = it.next().captured(1);
        FUZZ_CHECK_SAY(!value.contains(u'/'), reduced);
    }

    // Each picture the editor wrote by that file name points at its content id afterwards. An
    // attribute value left open runs over the next tag for a browser too, so such a body proves nothing.
    static const QRegularExpression openValue(QStringLiteral("=\"[^\"]*<"));
    if (!name.isEmpty() && !name.contains(u'"') && !cid.contains(u'"') && !openValue.match(html).hasMatch()) {
        const QString referred = referToContentIds(html, {{name, cid}});
        const QString before = QStringLiteral("<img src=\"") + name + u'"';
        const QString after = QStringLiteral("<img src=\"cid:") + cid + u'"';
        FUZZ_CHECK_SAY(referred.count(after) >= html.count(before), html + QStringLiteral(" -> ") + referred);
    }
    return 0;
}
