// Layout names are typed by users and report kinds come from the host: whatever they hold, the file
// a layout is saved to stays inside its kind's layout folder and is one the picker lists.

#include "core/layoutrules.h"
#include "fuzzing.h"

#include <QDir>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input in(data, size);
    const QString typed = in.text();
    const QString reportKey = in.text();

    const QString cleaned = layoutrules::cleanName(typed);
    for (QChar c : QStringView(u"?\\/><*|:;\""))
        FUZZ_CHECK_SAY(!cleaned.contains(c), cleaned);
    FUZZ_CHECK_SAY(!cleaned.startsWith(u'.'), cleaned);
    FUZZ_CHECK_SAY(layoutrules::cleanName(cleaned) == cleaned, cleaned);

    const QString fileName = layoutrules::withTxtEnding(cleaned);
    FUZZ_CHECK_SAY(fileName.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive), fileName);
    FUZZ_CHECK_SAY(layoutrules::isLayoutFileName(fileName), fileName);
    FUZZ_CHECK_SAY(layoutrules::withTxtEnding(fileName) == fileName, fileName);

    const QString root = QStringLiteral("/data/") + QString::fromUtf16(layoutrules::RootFolder);
    for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        const QString folder = QStringLiteral("/data/") + layoutrules::layoutFolder(reportKey, cs);
        FUZZ_CHECK_SAY(folder.startsWith(root) && folder.endsWith(u'/'), folder);
        const QString path = QDir::cleanPath(folder + fileName);
        FUZZ_CHECK_SAY(QDir::cleanPath(folder) == path.section(u'/', 0, -2), path);
    }
    return 0;
}
