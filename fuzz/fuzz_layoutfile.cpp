// Layout files are copied between stores and edited by hand: any bytes read as a list of captions,
// and the captions written and read again are the same list.

#include "core/layoutrules.h"
#include "fuzzing.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList captions = layoutrules::parseLayout(bytes);
    for (const QString &caption : captions)
        FUZZ_CHECK_SAY(!caption.contains(u'\r') && !caption.contains(u'\n'), caption);
    // A file holds at most one caption per line end, plus an unended last line.
    FUZZ_CHECK(captions.size() <= bytes.count('\n') + bytes.count('\r') + 1);

    const QByteArray written = layoutrules::formatLayout(captions);
    const QStringList again = layoutrules::parseLayout(written);
    FUZZ_CHECK_SAY(again == captions, captions.join(u'|') + QStringLiteral(" read back as ") + again.join(u'|'));
    return 0;
}
