// The full-disk helper other tests rely on: its disk really runs full, a replaced file survives the
// failed write, and no mount outlives the test.

#include "fulldisk.h"

#include <QSaveFile>

class tst_FullDisk : public QObject
{
    Q_OBJECT

    static bool mountedAt(const QString &path)
    {
        QFile mounts(QStringLiteral("/proc/self/mounts"));
        return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(' ' + QFile::encodeName(path) + ' ');
    }

private slots:
    void writeOntoSmallDisk_data()
    {
        QTest::addColumn<bool>("fill");
        QTest::addColumn<qint64>("leave");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("fits");
        QTest::newRow("file larger than the disk") << false << qint64(0) << 64 * 1024 << false;
        QTest::newRow("file that fits") << false << qint64(0) << 8 * 1024 << true;
        QTest::newRow("filled disk refuses one page") << true << qint64(0) << 4096 << false;
        QTest::newRow("filled disk with a page left") << true << qint64(8192) << 4096 << true;
    }
    void writeOntoSmallDisk()
    {
        QFETCH(bool, fill);
        QFETCH(qint64, leave);
        QFETCH(int, bytes);
        QFETCH(bool, fits);
        QString mountPoint;
        {
            VELMORA_FULL_DISK(disk, 32 * 1024);
            mountPoint = disk.path();
            QVERIFY(mountedAt(mountPoint));
            const QString name = disk.filePath(QStringLiteral("kept.dat"));
            {
                QFile old(name);
                QVERIFY(old.open(QIODevice::WriteOnly));
                old.write("old");
            }
            if (fill)
                QVERIFY(disk.fill(leave));
            // Unbuffered as our writers open it: a write cut short by the full disk comes back as a
            // short count with no error text; only the retry of the rest fails with errno's text.
            QSaveFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            QByteArray rest(bytes, 'n');
            for (qint64 n; !rest.isEmpty() && (n = f.write(rest)) > 0;)
                rest.remove(0, n);
            QCOMPARE(rest.isEmpty() && f.commit(), fits);
            QFile back(name);
            QVERIFY(back.open(QIODevice::ReadOnly));
            QCOMPARE(back.readAll(), fits ? QByteArray(bytes, 'n') : QByteArray("old"));
            if (!fits)
                QVERIFY2(f.errorString().contains(QLatin1String("No space left on device")), qPrintable(f.errorString()));
        }
        QVERIFY(!mountedAt(mountPoint));
    }
};

QTEST_GUILESS_MAIN(tst_FullDisk)
#include "tst_fulldisk.moc"
