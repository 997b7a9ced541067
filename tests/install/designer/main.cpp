// The form a host developer laid out in Designer, used both ways a host can: compiled through uic,
// and loaded at run time by QUiLoader, which makes the controls through the installed plugin.
#include "ui_storeform.h"

#include <velmora/qlcustsearch.h>
#include <velmora/qlrvx.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QUiLoader>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    Ui::StoreForm compiled;
    QWidget compiledForm;
    compiled.setupUi(&compiledForm);
    velmora::QLrvx *compiledReports = compiled.reportControl;
    velmora::QLCustSearch *compiledSearch = compiled.customerSearch;
    std::printf("velmora designer host: uic form holds %s and %s\n", compiledReports->metaObject()->className(),
                compiledSearch->metaObject()->className());

    QUiLoader loader;
    QFile ui(QStringLiteral(STORE_FORM_UI));
    if (!ui.open(QIODevice::ReadOnly)) {
        std::puts("velmora designer host: cannot read the form");
        return 1;
    }
    std::unique_ptr<QWidget> form(loader.load(&ui));
    if (!form) {
        std::printf("velmora designer host: the loader failed: %s\n", qPrintable(loader.errorString()));
        return 1;
    }
    auto *reports = qobject_cast<velmora::QLrvx *>(form->findChild<QWidget *>(QStringLiteral("reportControl")));
    auto *search = qobject_cast<velmora::QLCustSearch *>(form->findChild<QWidget *>(QStringLiteral("customerSearch")));
    if (!reports || !search) {
        std::printf("velmora designer host: the loader made stand-ins, not the controls (plugin paths: %s)\n",
                    qPrintable(loader.pluginPaths().join(QLatin1Char(':'))));
        return 1;
    }
    int changes = 0;
    QObject::connect(search, &velmora::QLCustSearch::Change, [&changes] { ++changes; });
    search->setProperty("Caption", QStringLiteral("01-00042"));
    const QLabel *label = reports->findChild<QLabel *>();
    std::printf("velmora designer host: loaded report control showing \"%s\"; search Caption \"%s\" after %d Change\n",
                label ? qPrintable(label->text()) : "(nothing)", qPrintable(search->Caption()), changes);
    // Where the designer plugin this process loaded lies, as the dynamic loader mapped it.
    QFile maps(QStringLiteral("/proc/self/maps"));
    const QString mapped = maps.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(maps.readAll()) : QString();
    std::printf("velmora designer host: plugin %s\n",
                qPrintable(QRegularExpression(QStringLiteral("/\\S*velmoradesigner\\S*")).match(mapped).captured()));
    return 0;
}
