#include "core/layoutrules.h"

#include <QStringDecoder>

#include <array>

namespace velmora::layoutrules {

namespace {

struct Kind {
    const char16_t *key;
    const char16_t *folder;        // under the root folder
    const char16_t *savedName;     // written by open and save
    const char16_t *reopenName;    // read by the load step; nullptr: never reopened
};

// The inventory row serves every key that is not listed.
constexpr std::array<Kind, 8> Kinds{{
    {u"customersearch", u"Customer Search/", u"Last Customer Search", u"Last Customer Search"},
    {u"deletedinv", u"INV2/", u"Del Inventory", u"Del Inventory"},
    {u"allcustomers", u"Customer List/", u"Last All Customers", u"Last All Customers"},
    {u"servicereport", u"Service/", u"Last Service", u"Last Service"},
    {u"projreport", u"Proj/", u"Last Projected", u"Last Projected"},
    {u"masterinv", u"Masterinv/", u"Last Masterinv", u"Last MasterInv"},
    {u"customsql", u"", u"Last Inventory", nullptr},
    {u"customsqlsecurity", u"", u"Last Inventory", nullptr},
}};
constexpr Kind Inventory{u"", u"", u"Last Inventory", u"Last Inventory"};

const Kind &kindOf(const QString &reportKey, Qt::CaseSensitivity cs)
{
    for (const Kind &kind : Kinds) {
        if (reportKey.compare(QStringView(kind.key), cs) == 0)
            return kind;
    }
    return Inventory;
}

} // namespace

QString layoutFolder(const QString &reportKey, Qt::CaseSensitivity cs)
{
    return QString::fromUtf16(RootFolder) + QString::fromUtf16(kindOf(reportKey, cs).folder);
}

QString savedLayoutKey(const QString &reportKey)
{
    return QString::fromUtf16(kindOf(reportKey, Qt::CaseInsensitive).savedName);
}

QString reopenLayoutKey(const QString &reportKey)
{
    const Kind &kind = kindOf(reportKey, Qt::CaseInsensitive);
    return kind.reopenName ? QString::fromUtf16(kind.reopenName) : QString();
}

QStringList saveFolders()
{
    const QString root = QString::fromUtf16(RootFolder);
    return {root, root + QLatin1String("Customer Search/"), root + QLatin1String("Customer List/"), root + QLatin1String("Masterinv/")};
}

QStringList pickerFolders()
{
    const QString root = QString::fromUtf16(RootFolder);
    return {root,
            root + QLatin1String("Customer Search/"),
            root + QLatin1String("Customer List/"),
            root + QLatin1String("INV2/"),
            root + QLatin1String("Service/"),
            root + QLatin1String("Proj/"),
            root + QLatin1String("Masterinv/")};
}

QString withTxtEnding(const QString &name)
{
    if (name.right(4).compare(u".txt", Qt::CaseInsensitive) == 0)
        return name;
    return name + QLatin1String(".txt");
}

QString cleanName(const QString &name)
{
    static constexpr QStringView Forbidden = u"?\\/><*|:;\"";
    QString cleaned = name;
    for (QChar &c : cleaned) {
        if (Forbidden.contains(c))
            c = u'_';
    }
    qsizetype dots = 0;
    while (dots < cleaned.size() && cleaned.at(dots) == u'.')
        ++dots;
    return cleaned.mid(dots);
}

bool nameTooLong(const QString &name)
{
    return name.size() > MaxNameLength;
}

bool isLayoutFileName(const QString &fileName)
{
    return fileName.right(3).toLower() == u"txt";
}

QByteArray formatLayout(const QStringList &captions)
{
    QByteArray data;
    for (const QString &caption : captions) {
        data += caption.toUtf8();
        data += "\r\n";
    }
    return data;
}

QStringList parseLayout(const QByteArray &data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (utf8.hasError())
        text = QString::fromLatin1(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        lines.append(text.mid(start, end - start));
        if (end < size && text.at(end) == u'\r' && end + 1 < size && text.at(end + 1) == u'\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

} // namespace velmora::layoutrules
