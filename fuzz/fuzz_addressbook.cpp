// The address book file is shared between stores and edited by hand: any bytes read as a list of
// entries, and the entries written and read again are the same list.

#include "core/mailrules.h"
#include "fuzzing.h"

using namespace velmora;
using namespace velmora::mailrules;

namespace {

// What the file format can hold of a field: no double quote and no line break.
QString writable(QString s)
{
    s.replace(u'"', u'\'');
    s.remove(u'\r');
    s.replace(u'\n', u' ');
    return s;
}

QString listed(const QList<AddressEntry> &entries)
{
    QStringList out;
    for (const AddressEntry &e : entries)
        out << QLatin1Char('[') + e.name + QStringLiteral("] [") + e.address + QLatin1Char(']');
    return out.join(u' ');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<AddressEntry> entries = readAddressBook(bytes);
    FUZZ_CHECK(entries.size() <= bytes.count(',') + bytes.count('\n') + bytes.count('\r') + 1);

    QList<AddressEntry> expected;
    for (const AddressEntry &e : entries)
        expected.append({writable(e.name), writable(e.address)});
    const QList<AddressEntry> again = readAddressBook(writeAddressBook(entries));
    FUZZ_CHECK_SAY(again == expected, listed(expected) + QStringLiteral(" read back as ") + listed(again));

    // Entries typed into the dialog, whatever they hold, survive a save as well.
    fuzz::Input in(data, size);
    QList<AddressEntry> typed;
    while (!in.atEnd())
        typed.append({in.text(), in.text()});
    expected.clear();
    for (const AddressEntry &e : typed)
        expected.append({writable(e.name), writable(e.address)});
    const QList<AddressEntry> saved = readAddressBook(writeAddressBook(typed));
    FUZZ_CHECK_SAY(saved == expected, listed(expected) + QStringLiteral(" read back as ") + listed(saved));
    return 0;
}
