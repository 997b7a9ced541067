#include "data/fbclient.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <QStringList>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace velmora::fb {

Firebird::IMaster *master()
{
    static Firebird::IMaster *const m = Firebird::fb_get_master_interface();
    return m;
}

Firebird::IUtil *util()
{
    static Firebird::IUtil *const u = master()->getUtilInterface();
    return u;
}

Firebird::IProvider *provider()
{
    // One dispatcher for the life of the process: it is what loads the remote and engine providers.
    static Firebird::IProvider *const p = master()->getDispatcher();
    return p;
}

Status::Status() : m_status(master()->getStatus()), m_wrapper(m_status) {}

Status::~Status() { m_status->dispose(); }

bool Status::failed() const
{
    return (m_wrapper.getState() & Firebird::IStatus::STATE_ERRORS) != 0;
}

Failure Status::failure(int step, const QString &description) const
{
    Failure f;
    f.step = step;
    const ISC_STATUS *vector = m_status->getErrors();
    if (vector && vector[0] == isc_arg_gds)
        f.number = int(vector[1]);
    const ISC_STATUS *p = vector;
    char buffer[2048];
    while (p && *p != isc_arg_end) {
        const ISC_LONG n = fb_interpret(buffer, sizeof buffer, &p);
        if (n <= 0)
            break;
        f.engineMessages << QString::fromUtf8(buffer, int(n)).trimmed();
    }
    f.description = description.isEmpty() ? f.engineMessages.join(QLatin1Char(' ')) : description;
    if (f.description.isEmpty())
        f.description = QStringLiteral("The database engine reported a failure without a message.");
    return f;
}

QByteArray buildDpb(const AttachParams &p, Status &st)
{
    Firebird::IXpbBuilder *b = util()->getXpbBuilder(st.ptr(), Firebird::IXpbBuilder::DPB, nullptr, 0);
    if (st.failed())
        return {};
    // With this tag the client reads every string of the block (file name included) as UTF-8.
    b->insertTag(st.ptr(), isc_dpb_utf8_filename);
    if (!p.user.isEmpty())
        b->insertString(st.ptr(), isc_dpb_user_name, p.user.toUtf8().constData());
    if (!p.password.isEmpty())
        b->insertString(st.ptr(), isc_dpb_password, p.password.toUtf8().constData());
    if (!p.role.isEmpty())
        b->insertString(st.ptr(), isc_dpb_sql_role_name, p.role.toUtf8().constData());
    const QString charset = p.charset.isEmpty() ? QStringLiteral("UTF8") : p.charset;
    b->insertString(st.ptr(), isc_dpb_lc_ctype, charset.toUtf8().constData());
    if (p.connectTimeout > 0)
        b->insertInt(st.ptr(), isc_dpb_connect_timeout, p.connectTimeout);
    if (p.createUtf8) {
        b->insertString(st.ptr(), isc_dpb_set_db_charset, "UTF8");
        b->insertInt(st.ptr(), isc_dpb_page_size, 16384);
        b->insertInt(st.ptr(), isc_dpb_sql_dialect, 3);
    }
    QByteArray out;
    if (!st.failed())
        out = QByteArray(reinterpret_cast<const char *>(b->getBuffer(st.ptr())), int(b->getBufferLength(st.ptr())));
    b->dispose();
    return out;
}

velmora::Status checkAttachParams(const AttachParams &p, int step)
{
    const std::pair<const QString *, const char *> items[] = {
        {&p.user, "The user name is too long: the database accepts at most 255 bytes, it has %1."},
        {&p.password, "The password is too long: the database accepts at most 255 bytes, it has %1."},
        {&p.role, "The role name is too long: the database accepts at most 255 bytes, it has %1."},
        {&p.charset, "The character set name is too long: the database accepts at most 255 bytes, it has %1."},
    };
    for (const auto &[value, text] : items) {
        const qsizetype bytes = value->toUtf8().size();
        if (bytes > 255) {
            Failure f;
            f.description = QString::fromLatin1(text).arg(bytes);
            f.engineMessages << f.description;
            f.step = step;
            return f;
        }
    }
    return {};
}

struct HostSignals::Saved {
    struct sigaction interrupt;
    struct sigaction terminate;
};

HostSignals::HostSignals() : m_saved(new Saved)
{
    sigaction(SIGINT, nullptr, &m_saved->interrupt);
    sigaction(SIGTERM, nullptr, &m_saved->terminate);
}

HostSignals::~HostSignals()
{
    sigaction(SIGINT, &m_saved->interrupt, nullptr);
    sigaction(SIGTERM, &m_saved->terminate, nullptr);
    delete m_saved;
}

std::vector<ServerSocket> openSockets()
{
    std::vector<ServerSocket> sockets;
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return sockets;
    while (const dirent *e = readdir(dir)) {
        char *end = nullptr;
        const long fd = std::strtol(e->d_name, &end, 10);
        struct stat st;
        if (end == e->d_name || *end != '\0' || fd == dirfd(dir) || fstat(int(fd), &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockets.push_back({int(fd), static_cast<unsigned long>(st.st_ino)});
    }
    closedir(dir);
    return sockets;
}

std::vector<ServerSocket> newServerSockets(const std::vector<ServerSocket> &before, int port)
{
    std::vector<ServerSocket> found;
    for (const ServerSocket &s : openSockets()) {
        bool known = false;
        for (const ServerSocket &b : before)
            known = known || (b.fd == s.fd && b.inode == s.inode);
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (known || getpeername(s.fd, reinterpret_cast<sockaddr *>(&peer), &length) != 0)
            continue;
        int peerPort = -1;
        if (peer.ss_family == AF_INET)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in &>(peer).sin_port);
        else if (peer.ss_family == AF_INET6)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in6 &>(peer).sin6_port);
        if (peerPort == port)
            found.push_back(s);
    }
    return found;
}

void cutSockets(const std::vector<ServerSocket> &sockets)
{
    for (const ServerSocket &s : sockets) {
        struct stat st;
        if (fstat(s.fd, &st) == 0 && S_ISSOCK(st.st_mode) && static_cast<unsigned long>(st.st_ino) == s.inode)
            shutdown(s.fd, SHUT_RDWR);
    }
}

int bytesPerChar(unsigned charSetId)
{
    switch (charSetId) {
    case 3: return 3;             // UNICODE_FSS
    case 4: return 4;             // UTF8
    case 5: case 6: case 44: case 56: case 57: case 67: case 68: return 2;   // SJIS, EUCJ, KSC, BIG5, GB2312, GBK, CP943C
    case 69: return 4;            // GB18030
    default: return 1;
    }
}

} // namespace velmora::fb
