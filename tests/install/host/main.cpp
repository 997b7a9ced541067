#include <velmora/error.h>

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        throw velmora::Error(42, QStringLiteral("Customer search file missing"),
                             {QStringLiteral("file is encrypted or is not a database"), QStringLiteral("step 13")});
    } catch (const std::runtime_error &e) {
        const auto *error = dynamic_cast<const velmora::Error *>(&e);
        if (!error) {
            std::puts("velmora host: caught something that is not a velmora::Error");
            return 1;
        }
        std::printf("velmora host: error %d \"%s\" with %d engine messages\n", error->number(),
                    qPrintable(error->description()), int(error->engineMessages().size()));
    }
    return 0;
}
