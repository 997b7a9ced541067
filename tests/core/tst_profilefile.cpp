#include "../common/fulldisk.h"
#include "../common/unprivileged.h"
#include "core/profilefile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using velmora::ProfileFile;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

} // namespace

class tst_ProfileFile : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("vlmfiles.dat"));
    }

    // One change to a file, and the whole file expected afterwards (every line end in it a CR LF).
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");   // "<missing>": no file
        QTest::addColumn<QString>("op");          // write, deleteKey, deleteSection
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        const QByteArray none = "<missing>";
        const QByteArray base = "; mail settings\r\n[Email]\r\nSMTPHost=mail.example.com\r\nPort = 25\r\n\r\n[Other]\r\nA=1\r\n";
        const auto edited = [&base](const char *from, const char *to) { return QByteArray(base).replace(from, to); };
        QTest::newRow("new file gets the section and the key") << none << "write" << "Email" << "Port" << "587"
                                                               << QByteArray("[Email]\nPort=587\n");
        QTest::newRow("existing key in another letter case is changed in place")
            << base << "write" << "EMAIL" << "smtphost" << "smtp.example.org" << edited("mail.example.com", "smtp.example.org");
        QTest::newRow("key with blanks around the equals sign is rewritten in place")
            << base << "write" << "Email" << "port" << "465" << edited("Port = 25", "Port=465");
        QTest::newRow("new key goes after the last entry of its section")
            << base << "write" << "Email" << "User" << "clerk" << edited("Port = 25\r\n", "Port = 25\r\nUser=clerk\r\n");
        QTest::newRow("new section goes at the end after a blank line")
            << base << "write" << "Layouts" << "Last" << "x.txt" << QByteArray(base + "\n[Layouts]\nLast=x.txt\n");
        QTest::newRow("empty value deletes the key only") << base << "deleteKey" << "email" << "PORT" << ""
                                                          << edited("Port = 25\r\n", "");
        QTest::newRow("write with an empty value deletes the key") << base << "write" << "Email" << "SMTPHost" << ""
                                                                   << edited("SMTPHost=mail.example.com\r\n", "");
        QTest::newRow("deleting a missing key leaves the file alone") << base << "deleteKey" << "Email" << "Nothing" << ""
                                                                      << base;
        QTest::newRow("delete section removes its header and lines only")
            << base << "deleteSection" << "eMail" << "" << "" << QByteArray("; mail settings\n[Other]\nA=1\n");
        QTest::newRow("deleting a missing section on a missing file creates nothing")
            << none << "deleteSection" << "Email" << "" << "" << none;
        QTest::newRow("LF line ends come back as CR LF, comments and blank lines kept")
            << QByteArray("# top\n[S]\n; note\nk=v\n\n[T]\nx=y\n") << "write" << "T" << "x" << "z"
            << QByteArray("# top\n[S]\n; note\nk=v\n\n[T]\nx=z\n");
        QTest::newRow("value keeps its inner blanks and non-ASCII text") << none << "write" << "S" << "Name"
            << "Müller  & Söhne" << QByteArray("[S]\nName=M\xc3\xbcller  & S\xc3\xb6hne\n");
        QTest::newRow("line breaks in a value cannot split the entry")
            << none << "write" << "S" << "Text" << "one\r\ntwo" << QByteArray("[S]\nText=one  two\n");
        QTest::newRow("lines that are not entries survive a write")
            << QByteArray("[S]\r\njust text\r\n\x01\x02\xff\r\nk=v\r\n") << "write" << "S" << "k" << "v2"
            << QByteArray("[S]\njust text\n\x01\x02\xff\nk=v2\n");
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, op);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);

        if (before != "<missing>")
            writeAll(m_path, before);
        ProfileFile file(m_path);
        QVERIFY(op == u"write" ? file.writeString(section, key, value)
                : op == u"deleteKey" ? file.deleteKey(section, key) : file.deleteSection(section));
        QCOMPARE(readAll(m_path), QByteArray(after).replace("\r\n", "\n").replace("\n", "\r\n"));
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("def");
        QTest::addColumn<QString>("expected");

        const QByteArray base = "[Email]\r\nSMTPHost = mail.example.com \r\nQuoted=\"  padded  \"\r\n"
                                "Single='x'\r\nHalf=\"x\r\nEmpty=\r\nBare\r\n; Comment=1\r\n[Other]\r\nSMTPHost=other\r\n";
        QTest::newRow("key and section in other letter case")
            << base << "EMAIL" << "smtphost" << "d" << "mail.example.com";
        QTest::newRow("key of the second section") << base << "other" << "SMTPHOST" << "d" << "other";
        QTest::newRow("missing key gives the default") << base << "Email" << "Port" << "25" << "25";
        QTest::newRow("missing file gives the default") << QByteArray("<missing>") << "Email" << "x" << "d" << "d";
        QTest::newRow("default loses trailing blanks") << base << "Email" << "Port" << " 25  " << " 25";
        QTest::newRow("matching double quotes are removed") << base << "Email" << "Quoted" << "" << "  padded  ";
        QTest::newRow("a lone quote stays") << base << "Email" << "Half" << "" << "\"x";
        QTest::newRow("empty value is empty, not the default") << base << "Email" << "Empty" << "d" << "";
        QTest::newRow("entry without equals sign gives the default") << base << "Email" << "Bare" << "d" << "d";
        QTest::newRow("comment line is no key") << base << "Email" << "; Comment" << "d" << "d";
        QTest::newRow("section header with blanks inside brackets")
            << QByteArray("[ Email ]\nk=v\n") << "Email" << "k" << "" << "v";
        QTest::newRow("first of two equal keys wins")
            << QByteArray("[S]\nk=first\nK=second\n") << "S" << "k" << "" << "first";
        QTest::newRow("key before any section belongs to the nameless section")
            << QByteArray("k=loose\n[S]\nk=v\n") << "" << "k" << "" << "loose";
        QTest::newRow("Latin-1 line is read as Latin-1")
            << QByteArray("[S]\nName=M\xfcller\n") << "S" << "Name" << "" << QStringLiteral("Müller");
        QTest::newRow("UTF-8 line is read as UTF-8")
            << QByteArray("[S]\nName=M\xc3\xbcller \xe5\xba\x97\n") << "S" << "Name" << "" << QStringLiteral("Müller 店");
        // "*" reads the whole section: entries each ended by a character 0, shown here as "|".
        QTest::newRow("section: entries, comments and blank lines left out")
            << QByteArray("[Email]\r\nHost = h\r\n; c\r\n\r\nBare\r\nk=\"v\"\r\n[Other]\r\nA=1\r\n") << "email" << "*" << ""
            << "Host=h|Bare|k=\"v\"|";
        QTest::newRow("section: missing is empty") << QByteArray("[S]\nk=v\n") << "T" << "*" << "" << "";
        QTest::newRow("section: empty is empty") << QByteArray("[S]\n[T]\nk=v\n") << "S" << "*" << "" << "";
        // Malformed files: what can be read is (whatever a file holds, the profile fuzzer reads and writes it).
        QTest::newRow("empty brackets") << QByteArray("[]\nk=v\n[S]\nk=w\n") << "S" << "k" << "d" << "w";
        QTest::newRow("character 0 inside a line") << QByteArray("[S]\nk=ab\0cd\n", 12) << "S" << "k" << "d" << "ab";
        QTest::newRow("CR only line ends") << QByteArray("[S]\rk=v\r") << "S" << "k" << "d" << "d";
        QByteArray huge = "[Head]\r\nfirst=1\r\n";
        while (huge.size() < 16 * 1024 * 1024)
            huge += "; " + QByteArray(100, 'f') + "\r\nkey=" + QByteArray(200, 'v') + "\r\n";
        QTest::newRow("16 MB file, the key at its end") << (huge + "[Tail]\r\nlast=2\r\n") << "tail" << "LAST" << "" << "2";
    }

    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, def);
        QFETCH(QString, expected);
        if (content != "<missing>")
            writeAll(m_path, content);
        ProfileFile file(m_path);
        QCOMPARE(key == u"*" ? file.readSection(section) : file.readString(section, key, def), expected.replace(u'|', QChar(0)));
    }

    void valueCutAt254()
    {
        ProfileFile file(m_path);
        const auto read = [&file](const char *key, const QString &def = {}, int size = ProfileFile::ValueBufferSize) {
            return file.readString(QStringLiteral("S"), QLatin1String(key), def, size);
        };
        QVERIFY(file.writeString(QStringLiteral("S"), QStringLiteral("k"), QString(300, u'v')));
        // The whole value is stored; only the read is limited.
        QVERIFY(readAll(m_path).contains(QByteArray(300, 'v')));
        QCOMPARE(read("k"), QString(254, u'v'));
        QCOMPARE(read("k", {}, 11), QString(10, u'v'));
        QCOMPARE(read("none", QString(300, u'd')), QString(254, u'd'));
        QVERIFY(file.writeString(QStringLiteral("S"), QStringLiteral("k"), QString(254, u'e')));
        QCOMPARE(read("k"), QString(254, u'e'));
    }

    void sectionCutAt32000()
    {
        QByteArray content = "[Big]\r\n";
        QString expected;
        for (int i = 0; i < 400; ++i) {
            const QString entry = QStringLiteral("key%1=%2").arg(i, 3, 10, QLatin1Char('0')).arg(QString(90, u'x'));
            content += entry.toLatin1() + "\r\n";
            expected += entry + QChar(0);
        }
        writeAll(m_path, content);
        const ProfileFile file(m_path);
        QVERIFY(expected.size() > 32000);
        QCOMPARE(file.readSection(QStringLiteral("big")), expected.left(31998));
        // A list that just fits with its final terminator is not cut.
        QCOMPARE(file.readSection(QStringLiteral("big"), int(expected.size()) + 1), expected);
        QCOMPARE(file.readSection(QStringLiteral("big"), int(expected.size())).size(), expected.size() - 2);
    }

    // A write that cannot be done keeps the old file whole and leaves no temporary file; the reason
    // is the system's own text, not "Unknown error".
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("valueBytes");   // 0: into a folder the user may not write; else onto a full disk
        QTest::addColumn<QString>("why");
        QTest::newRow("unwritable folder") << 0 << "Permission denied";
        QTest::newRow("value larger than the disk") << 80 * 1024 << "No space left on device";
        QTest::newRow("value a little larger than the space left") << 6000 << "No space left on device";
    }

    void failedWriteKeepsTheOldFile()
    {
        QFETCH(int, valueBytes);
        QFETCH(QString, why);
        std::optional<velmora::test::FullDisk> disk;
        if (valueBytes && !disk.emplace(64 * 1024).isMounted())
            QSKIP(qPrintable(disk->skipReason()));
        const QString folder = disk ? disk->path() : m_dir->path();
        ProfileFile file(folder + QStringLiteral("/vlmfiles.dat"));
        QVERIFY(file.writeString(QStringLiteral("Email"), QStringLiteral("Host"), QStringLiteral("old")));
        bool written = true;
        if (disk) {
            QVERIFY(disk->fill(4096));
            written = file.writeString(QStringLiteral("Email"), QStringLiteral("Signature"), QString(valueBytes, u's'));
        } else {
            const QFileDevice::Permissions perms = QFile::permissions(folder);
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                      | QFileDevice::ExeOther));
            {
                velmora::test::Unprivileged nobody;
                written = file.writeString(QStringLiteral("Email"), QStringLiteral("Host"), QStringLiteral("new"));
            }
            QFile::setPermissions(folder, perms);
        }
        QVERIFY(!written);
        QVERIFY2(file.errorString().contains(why), qPrintable(file.errorString()));
        QCOMPARE(readAll(folder + QStringLiteral("/vlmfiles.dat")), QByteArray("[Email]\r\nHost=old\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("vlmfiles.dat")});
    }
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(tst_ProfileFile)
#include "tst_profilefile.moc"
