#include "core/profilefile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace velmora {

namespace {

QString decodeLine(QStringDecoder &utf8, QByteArrayView raw)
{
    utf8.resetState();
    QString text = utf8.decode(raw);
    if (utf8.hasError())
        text = QString::fromLatin1(raw.data(), raw.size());
    // The classic functions see each line as a C string.
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquoted(const QString &value)
{
    if (value.size() > 1) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

QString withoutTrailingBlanks(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    text.truncate(end);
    return text;
}

// A value cannot span lines in this format; a line break would turn its rest into a stray entry.
QString singleLine(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

std::vector<ProfileFile::Line> ProfileFile::parse(const QByteArray &data)
{
    std::vector<Line> lines;
    lines.reserve(std::size_t(data.count('\n')) + 1);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    qsizetype start = 0;
    const qsizetype size = data.size();
    while (start < size) {
        qsizetype end = data.indexOf('\n', start);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype contentEnd = end;
        if (contentEnd > start && data.at(contentEnd - 1) == '\r')
            --contentEnd;

        Line line;
        line.raw = data.mid(start, contentEnd - start);
        const QString text = decodeLine(utf8, line.raw).trimmed();
        if (text.isEmpty() || text.startsWith(u';')) {
            line.kind = Line::Other;
        } else if (text.startsWith(u'[') && text.lastIndexOf(u']') > 0) {
            line.kind = Line::Section;
            line.name = text.mid(1, text.lastIndexOf(u']') - 1).trimmed();
        } else {
            line.kind = Line::Entry;
            const qsizetype eq = text.indexOf(u'=');
            if (eq >= 0) {
                line.name = text.left(eq).trimmed();
                line.value = text.mid(eq + 1).trimmed();
                if (line.value.isNull())
                    line.value = QLatin1String("");
            } else {
                line.name = text;
            }
        }
        lines.push_back(std::move(line));
        start = next;
    }
    return lines;
}

bool ProfileFile::load(std::vector<Line> &lines, bool &exists) const
{
    lines.clear();
    QFile file(m_path);
    exists = file.exists();
    if (!exists)
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    lines = parse(file.readAll());
    return file.error() == QFileDevice::NoError;
}

QString replaceFileContents(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    // Unbuffered, so a short write (a full disk, a file size limit) shows in write()'s count: a
    // buffered write fails only in commit()'s flush, and Qt 6.4 then still renames the cut file
    // over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    // A write the disk cuts short returns the bytes it took without an error; only writing the
    // rest fails with the reason ("No space left on device").
    for (qsizetype done = 0; done < data.size();) {
        const qint64 n = file.write(data.constData() + done, data.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return reason.isEmpty() ? QStringLiteral("the file could not be written") : reason;
        }
        done += qsizetype(n);
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

bool ProfileFile::save(const std::vector<Line> &lines)
{
    QByteArray data;
    qsizetype total = 0;
    for (const Line &line : lines)
        total += line.raw.size() + 2;
    data.reserve(total);
    for (const Line &line : lines) {
        data += line.raw;
        data += "\r\n";
    }
    m_error = replaceFileContents(m_path, data);
    if (!m_error.isEmpty())
        return false;
    m_error.clear();
    return true;
}

namespace {

// Index range [begin, end) of the lines of the first section named `name` (the header excluded);
// begin == -1 when there is none. Lines before any header form the section with the empty name.
template <typename Lines>
std::pair<qsizetype, qsizetype> findSection(const Lines &lines, const QString &name)
{
    const QString wanted = name.trimmed();
    qsizetype begin = -1;
    if (wanted.isEmpty())
        begin = 0;
    const qsizetype count = qsizetype(lines.size());
    for (qsizetype i = 0; i < count; ++i) {
        const auto &line = lines[std::size_t(i)];
        if (line.kind != std::decay_t<decltype(line)>::Section)
            continue;
        if (begin >= 0)
            return {begin, i};
        if (sameName(line.name, wanted))
            begin = i + 1;
    }
    return {begin, begin < 0 ? -1 : count};
}

} // namespace

QString ProfileFile::readString(const QString &section, const QString &key, const QString &def,
                                int bufferSize) const
{
    if (bufferSize <= 0)
        return {};
    const int limit = bufferSize - 1;
    std::vector<Line> lines;
    bool exists = false;
    QString result = withoutTrailingBlanks(def);
    if (load(lines, exists) && exists) {
        const auto [begin, end] = findSection(lines, section);
        const QString wanted = key.trimmed();
        for (qsizetype i = begin; begin >= 0 && i < end; ++i) {
            const Line &line = lines[std::size_t(i)];
            if (line.kind == Line::Entry && sameName(line.name, wanted)) {
                if (!line.value.isNull())
                    result = unquoted(line.value);
                break;
            }
        }
    }
    result.truncate(limit);
    return result;
}

QString ProfileFile::readSection(const QString &section, int bufferSize) const
{
    std::vector<Line> lines;
    bool exists = false;
    if (bufferSize < 2 || !load(lines, exists) || !exists)
        return {};
    const auto [begin, end] = findSection(lines, section);
    if (begin < 0)
        return {};
    QString list;
    for (qsizetype i = begin; i < end; ++i) {
        const Line &line = lines[std::size_t(i)];
        if (line.kind != Line::Entry)
            continue;
        list += line.name;
        if (!line.value.isNull()) {
            list += u'=';
            list += line.value;
        }
        list += QChar(0);
        // The list ends in one more terminator, which must fit as well.
        if (list.size() + 1 > bufferSize)
            return list.left(bufferSize - 2);
    }
    return list;
}

bool ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    if (value.isEmpty())
        return deleteKey(section, key);
    std::vector<Line> lines;
    bool exists = false;
    if (!load(lines, exists)) {
        m_error = QStringLiteral("The file %1 cannot be read.").arg(m_path);
        return false;
    }
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    const QString text = singleLine(value);

    Line entry;
    entry.kind = Line::Entry;
    entry.name = keyName;
    entry.value = text.trimmed();
    entry.raw = (keyName + u'=' + text).toUtf8();

    const auto [begin, end] = findSection(lines, sectionName);
    if (begin < 0) {
        if (!lines.empty() && !lines.back().raw.trimmed().isEmpty())
            lines.push_back(Line{});
        Line header;
        header.kind = Line::Section;
        header.name = sectionName;
        header.raw = (u'[' + sectionName + u']').toUtf8();
        lines.push_back(std::move(header));
        lines.push_back(std::move(entry));
        return save(lines);
    }
    qsizetype insertAt = begin;
    for (qsizetype i = begin; i < end; ++i) {
        Line &line = lines[std::size_t(i)];
        if (line.kind == Line::Entry && sameName(line.name, keyName)) {
            // The key keeps the spelling it has in the file.
            entry.name = line.name;
            entry.raw = (line.name + u'=' + text).toUtf8();
            if (line.raw == entry.raw)
                return true;
            line = std::move(entry);
            return save(lines);
        }
        if (!line.raw.trimmed().isEmpty())
            insertAt = i + 1;
    }
    lines.insert(lines.begin() + insertAt, std::move(entry));
    return save(lines);
}

bool ProfileFile::deleteKey(const QString &section, const QString &key)
{
    std::vector<Line> lines;
    bool exists = false;
    if (!load(lines, exists)) {
        m_error = QStringLiteral("The file %1 cannot be read.").arg(m_path);
        return false;
    }
    const auto [begin, end] = findSection(lines, section);
    if (begin < 0)
        return true;
    const QString keyName = key.trimmed();
    const auto first = lines.begin() + begin;
    const auto last = lines.begin() + end;
    const auto kept = std::remove_if(first, last, [&keyName](const Line &line) {
        return line.kind == Line::Entry && sameName(line.name, keyName);
    });
    if (kept == last)
        return true;
    lines.erase(kept, last);
    return save(lines);
}

bool ProfileFile::deleteSection(const QString &section)
{
    std::vector<Line> lines;
    bool exists = false;
    if (!load(lines, exists)) {
        m_error = QStringLiteral("The file %1 cannot be read.").arg(m_path);
        return false;
    }
    const QString wanted = section.trimmed();
    std::vector<Line> kept;
    kept.reserve(lines.size());
    bool inDeleted = wanted.isEmpty();   // the nameless section is the lines before any header
    bool changed = false;
    for (Line &line : lines) {
        if (line.kind == Line::Section)
            inDeleted = sameName(line.name, wanted);
        if (inDeleted) {
            changed = changed || line.kind != Line::Other || !line.raw.trimmed().isEmpty();
            continue;
        }
        kept.push_back(std::move(line));
    }
    if (!changed)
        return true;
    return save(kept);
}

} // namespace velmora
