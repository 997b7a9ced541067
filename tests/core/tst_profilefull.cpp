// A settings file written onto a disk that runs full: the old file stays and the reason is
// the system's own text, not "Unknown error".

#include "../common/fulldisk.h"
#include "core/profilefile.h"

#include <QFile>
#include <QTest>

using namespace velmora;

class tst_ProfileFull : public QObject {
    Q_OBJECT

private slots:
    void writeOntoFullDisk_data();
    void writeOntoFullDisk();
};

void tst_ProfileFull::writeOntoFullDisk_data()
{
    QTest::addColumn<int>("valueBytes");
    QTest::newRow("value larger than the disk") << 80 * 1024;
    QTest::newRow("value a little larger than the space left") << 6000;
}

void tst_ProfileFull::writeOntoFullDisk()
{
    QFETCH(int, valueBytes);
    VELMORA_FULL_DISK(disk, 64 * 1024);
    const QString path = disk.filePath(QStringLiteral("vlmoset.dat"));
    ProfileFile profile(path);
    QVERIFY(profile.writeString(QStringLiteral("Email"), QStringLiteral("Server"), QStringLiteral("mail.example.com")));
    QVERIFY(disk.fill(4096));
    QVERIFY(!profile.writeString(QStringLiteral("Email"), QStringLiteral("Signature"), QString(valueBytes, QLatin1Char('s'))));
    QVERIFY2(profile.errorString().contains(QStringLiteral("No space left on device")), qPrintable(profile.errorString()));
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("[Email]\r\nServer=mail.example.com\r\n"));
}

QTEST_GUILESS_MAIN(tst_ProfileFull)
#include "tst_profilefull.moc"
