// A host as its developers write one against the installed package: a form with the report control
// on it, and the one failure the component lets reach a host.
#include <velmora/error.h>
#include <velmora/qlrvx.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget form;
    auto *reports = new velmora::QLrvx(&form);
    (new QVBoxLayout(&form))->addWidget(reports);
    form.show();
    QApplication::processEvents();
    const QLabel *label = reports->findChild<QLabel *>();
    std::printf("velmora host: control shows \"%s\"\n", label ? qPrintable(label->text()) : "(nothing)");

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
