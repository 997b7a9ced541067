// Opens the database named on the command line, reads from it, says "ready" and waits for the
// end the way a host application does: in its event loop.

#include "data/connection.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    auto c = velmora::Connection::open(QString::fromLocal8Bit(argv[1]), velmora::AccessMode::ReadWrite);
    if (!c) {
        std::fprintf(stderr, "%s\n", qPrintable(c.failure().text()));
        return 1;
    }
    if (!c.value()->query(QStringLiteral("SELECT COUNT(*) FROM rdb$relations")))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
