// velmora-report: writes one of the viewer's reports to a file, for cron and other scheduled jobs.
//   velmora-report --kind inventory --sql "SELECT ..." --conn "Data Source=...;User ID=...;Password=..."
//                  --store-name "Main Street" --store-number 7 --data /srv/store/data/ --out /srv/eod/inv.xls

#include "reportjob.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <unistd.h>

namespace {

void fail(const QString &message)
{
    std::fprintf(stderr, "velmora-report: %s\n", qPrintable(message));
}

} // namespace

// Qt's own notes (a runtime folder not set, a font not found) would bury the one line a failure
// leaves for the cron mail.
void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "velmora-report: %s\n", qPrintable(message));
}

int main(int argc, char **argv)
{
    qInstallMessageHandler(quiet);
    // A scheduled job has no display; the viewer it loads is never shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora-report"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    namespace Exit = velmora::report::Exit;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs a Velmora report on the store database and writes it to a file, with the captions, column "
        "order and totals the report viewer shows for the same request and layout.\n\n"
        "The file's ending picks its format: .xls (Excel 97-2003), .xlsx, .html or .txt (pipe-separated). "
        "The file appears under its name only when complete.\n"
        "Progress is shown on a terminal only. Exit status: 0 done, 2 wrong arguments, 3 the report could "
        "not be run (server, login, SQL), 4 unknown layout, 5 the file could not be written."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption kind(QStringLiteral("kind"),
                                  QStringLiteral("The report: %1.").arg(velmora::report::kinds().join(QStringLiteral(", "))),
                                  QStringLiteral("kind"));
    const QCommandLineOption sql(QStringLiteral("sql"),
                                 QStringLiteral("The query (inventory, customsql, servicereport, projectedreport)."),
                                 QStringLiteral("statement"));
    const QCommandLineOption conn(QStringLiteral("conn"),
                                  QStringLiteral("Connection string of the store database (\"Data Source=host/port:path;"
                                                 "User ID=...;Password=...\" or a plain Firebird DSN)."),
                                  QStringLiteral("string"));
    const QCommandLineOption storeName(QStringLiteral("store-name"), QStringLiteral("The store's name."),
                                       QStringLiteral("name"));
    const QCommandLineOption storeNumber(
        QStringLiteral("store-number"),
        QStringLiteral("The store's number; for masterinv \"number|condition\" adds a condition."),
        QStringLiteral("number"));
    const QCommandLineOption data(QStringLiteral("data"),
                                  QStringLiteral("The store's data folder (where saved layouts are)."),
                                  QStringLiteral("folder"));
    const QCommandLineOption local(QStringLiteral("local"), QStringLiteral("The workstation's local folder."),
                                   QStringLiteral("folder"));
    const QCommandLineOption layout(QStringLiteral("layout"),
                                    QStringLiteral("A saved layout of the report to apply; without it the layout "
                                                   "last used for the kind, as the viewer reopens it."),
                                    QStringLiteral("name"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The file to write."), QStringLiteral("file"));
    parser.addOptions({kind, sql, conn, storeName, storeNumber, data, local, layout, out});
    if (!parser.parse(QCoreApplication::arguments())) {
        fail(parser.errorText() + QStringLiteral(" (see --help)"));
        return Exit::Usage;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Exit::Ok);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        fail(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().first()));
        return Exit::Usage;
    }

    const velmora::report::Job job{parser.value(kind),        parser.value(sql),  parser.value(conn),
                                   parser.value(storeName),   parser.value(storeNumber), parser.value(data),
                                   parser.value(local),       parser.value(layout), parser.value(out)};
    if (auto wrong = velmora::report::checkJob(job)) {
        fail(wrong->message + QStringLiteral(" (see --help)"));
        return wrong->exit;
    }

    const bool terminal = isatty(STDERR_FILENO) == 1;
    velmora::report::Progress progress;
    if (terminal) {
        progress = [](const char *stage, qint64 rows) {
            std::fprintf(stderr, "\r%s %lld rows   ", stage, static_cast<long long>(rows));
            if (qstrcmp(stage, "fetched") == 0)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        };
    }
    qint64 written = 0;
    const auto failed = velmora::report::runJob(job, progress, written);
    if (terminal && !failed)
        std::fputc('\n', stderr);
    if (failed) {
        if (terminal)
            std::fputc('\n', stderr);
        fail(failed->message);
        return failed->exit;
    }
    return Exit::Ok;
}
