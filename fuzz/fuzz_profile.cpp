// Settings files are edited by hand and by older programs: whatever a file holds, reading never
// fails, a value written is the value read back, and a change leaves every other section as it was.
//
// Input: the file's bytes, section, key, value and another section (texts ended by a lone
// backslash), an operation byte and a buffer size byte.

#include "core/profilefile.h"
#include "fuzzing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace velmora;

namespace {

// The file lives in memory where there is a tmpfs: the harness writes it on every run.
QString filePath()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                                                        : QDir::tempPath() + QStringLiteral("/velmora-fuzz-XXXXXX"));
    return dir.filePath(QStringLiteral("vlmoset.dat"));
}

// Section and key names are the program's own; they never hold a line break, a NUL, and a key
// has no "=" and does not look like a comment or a section header.
QString asName(QString name, bool key)
{
    for (QChar &c : name) {
        if (c == u'\r' || c == u'\n' || c == QChar(0) || (key && c == u'=') || (!key && c == u']'))
            c = u'_';
    }
    if (key && (name.trimmed().startsWith(u';') || name.trimmed().startsWith(u'[')))
        name.prepend(u'k');
    return name;
}

// What reading a value gives after writing `value`: one line, cut at a NUL, blanks trimmed and one
// pair of quotes taken off.
QString expectedRead(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    if (const qsizetype nul = value.indexOf(QChar(0)); nul >= 0)
        value.truncate(nul);
    value = value.trimmed();
    if (value.size() > 1 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input in(data, size);
    const QByteArray content = in.bytes();
    const QString section = asName(in.text(), false);
    const QString key = asName(in.text(), true);
    const QString value = in.text();
    const QString other = asName(in.text(), false);
    const int op = in.pick(0, 2);
    const int bufferSize = in.pick(0, 255) * 4;

    const QString path = filePath();
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size());
    }
    ProfileFile file(path);

    const QString read = file.readString(section, key, QStringLiteral("(default)"), bufferSize);
    FUZZ_CHECK(read.size() <= qMax(0, bufferSize - 1));
    const QString list = file.readSection(section, bufferSize);
    FUZZ_CHECK(list.isEmpty() || list.size() + 1 <= bufferSize || bufferSize < 2);

    const bool otherIsSame = other.trimmed().compare(section.trimmed(), Qt::CaseInsensitive) == 0;
    const QString otherBefore = file.readSection(other, ProfileFile::SectionBufferSize);

    const QString shown = section + QStringLiteral(" / ") + key + QStringLiteral(" / ") + value;
    switch (op) {
    case 0: {
        FUZZ_CHECK_SAY(file.writeString(section, key, value), file.errorString());
        if (value.isEmpty())
            break;
        const QString back = file.readString(section, key, QStringLiteral("(default)"), ProfileFile::SectionBufferSize);
        FUZZ_CHECK_SAY(back == expectedRead(value), shown + QStringLiteral(" read back as ") + back);
        break;
    }
    case 1:
        FUZZ_CHECK_SAY(file.deleteKey(section, key), file.errorString());
        FUZZ_CHECK_SAY(file.readString(section, key, QStringLiteral("(gone)")) == QLatin1String("(gone)"), shown);
        break;
    default:
        FUZZ_CHECK_SAY(file.deleteSection(section), file.errorString());
        FUZZ_CHECK_SAY(file.readSection(section).isEmpty(), shown);
        break;
    }
    if (!otherIsSame) {
        const QString otherAfter = file.readSection(other, ProfileFile::SectionBufferSize);
        FUZZ_CHECK_SAY(otherAfter == otherBefore, shown + QStringLiteral(" changed section ") + other);
    }
    return 0;
}
