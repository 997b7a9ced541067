#include "demowindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora-demo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A host form with the Velmora report control on it."));
    parser.addHelpOption();
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("The store's data folder."),
                                  QStringLiteral("folder"), QDir::homePath() + QStringLiteral("/velmora-demo/data/"));
    const QCommandLineOption local(QStringLiteral("local"), QStringLiteral("The workstation's local folder."),
                                   QStringLiteral("folder"),
                                   QDir::homePath() + QStringLiteral("/velmora-demo/local/"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("The store database (a Firebird file or DSN)."),
                                QStringLiteral("path.fdb"));
    parser.addOptions({data, local, db});
    parser.process(app);

    DemoWindow window({parser.value(data), parser.value(local), parser.value(db)});
    window.show();
    return app.exec();
}
