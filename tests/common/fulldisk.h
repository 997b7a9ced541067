#pragma once

// A small file system that runs full: a tmpfs of a few pages mounted on a temporary folder for one
// test (VELMORA_FULL_DISK below), unmounted when the object goes out of scope, also when a QVERIFY
// returns early. Writers must open QSaveFile Unbuffered on it: buffered, a write the disk refuses
// fails only in commit()'s flush, and Qt 6.4's commit() then still renames the cut file over the old.
// A plain mount, not a private mount namespace: a namespace made by unshare() belongs to the calling
// thread only, and writers on a worker thread (or a Firebird server process) would not see it.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace velmora::test
{

class FullDisk
{
public:
    explicit FullDisk(qint64 sizeBytes)
    {
        if (!m_dir.isValid()) {
            m_skipReason = QStringLiteral("no temporary folder for the full-disk mount: ") + m_dir.errorString();
            return;
        }
        const QByteArray target = QFile::encodeName(m_dir.path());
        const QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0777";
        if (::mount("velmora-fulldisk", target.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
            const int err = errno;
            m_skipReason = QStringLiteral("mounting a small tmpfs is not allowed here (%1; needs root or CAP_SYS_ADMIN)")
                               .arg(QString::fromLocal8Bit(std::strerror(err)));
            return;
        }
        m_mounted = true;
    }
    ~FullDisk()
    {
        // Lazy, so a file a failed test left open cannot keep the mount alive.
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString skipReason() const { return m_skipReason; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Takes the free space with a filler file until a write comes back short, then gives
    // `leaveBytes` back (tmpfs counts whole pages). False when the filler could not be created.
    bool fill(qint64 leaveBytes = 0)
    {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray page(4096, 'x');
        while (filler.write(page) == page.size()) {
        }
        filler.close();
        if (leaveBytes > 0)
            QFile::resize(filler.fileName(), std::max<qint64>(0, QFileInfo(filler).size() - leaveBytes));
        return true;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_skipReason;
};

} // namespace velmora::test

// Declares `var`, a FullDisk of `bytes`, and skips the calling test with the reason when it
// cannot be mounted.
#define VELMORA_FULL_DISK(var, bytes)                                                                                  \
    velmora::test::FullDisk var(bytes);                                                                                \
    if (!var.isMounted())                                                                                              \
    QSKIP(qPrintable(var.skipReason()))
