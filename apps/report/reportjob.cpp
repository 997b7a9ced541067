#include "reportjob.h"

#include <velmora/qlcustsearch.h>
#include <velmora/qlrvx.h>

#include "core/catalogue.h"
#include "core/layoutrules.h"
#include "core/reportrequest.h"
#include "export/exporttable.h"
#include "export/mExport.h"
#include "grid/reportgrid.h"
#include "viewer/failurereport.h"
#include "viewer/frmMain.h"
#include "viewer/layouts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QThread>

#include <chrono>
#include <memory>

namespace velmora::report {

namespace {

QString withSeparator(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool needsSql(const QString &kind)
{
    return kind == QLatin1String("inventory") || kind == QLatin1String("customsql") ||
           kind == QLatin1String("servicereport") || kind == QLatin1String("projectedreport");
}

QString loadFailureLine(const Failure &f)
{
    const QString engine = f.engineMessages.join(QStringLiteral("; "));
    if (catalogue::failureReport(f, QString()).box == catalogue::FailureBox::LostServer)
        return QStringLiteral("cannot reach the database server: ") + engine;
    return (QStringLiteral("the report could not be run: ") + (engine.isEmpty() ? f.description : engine))
        .simplified();
}

// Fills the request and loads the viewer through the controls' own methods, so the request is
// written exactly as a host's call writes it.
void openReport(const Job &job)
{
    QString sql = job.sql, data = withSeparator(job.dataFolder), conn = job.connString, name = job.storeName,
            number = job.storeNumber, local = withSeparator(job.localFolder);
    if (job.kind == QLatin1String("allcustomers")) {
        QLCustSearch search;
        search.ShowAllCustomers(data, conn, name, number, local);
        return;
    }
    QLrvx control;
    if (job.kind == QLatin1String("inventory"))
        control.ShowINVReport(sql, data, conn, name, number, local);
    else if (job.kind == QLatin1String("deletedinv"))
        control.ShowDeletedInv(data, local, conn, name, number);
    else if (job.kind == QLatin1String("customsql"))
        control.CustomSQL(sql, data, conn, name, number, local);
    else if (job.kind == QLatin1String("servicereport"))
        control.ServiceReport(sql, data, conn, name, number, local);
    else if (job.kind == QLatin1String("projectedreport"))
        control.ProjectedReport(sql, data, conn, name, number, local);
    else if (job.kind == QLatin1String("masterinv"))
        control.ShowMasterInv(data, local, conn, name, number);
}

// Applies the named layout as the viewer's Open command would, leaving the user's remembered
// layout of the kind as it was: a scheduled job is not the user choosing a layout.
std::optional<JobFailure> applyLayout(frmMain &viewer, const QString &layout)
{
    const ReportRequest &r = request();
    const QString file = layoutrules::withTxtEnding(layout);
    const QString path = r.Datapath + layoutrules::layoutFolder(r.ReportKey, Qt::CaseInsensitive) + file;
    if (!QFileInfo(path).isFile())
        return JobFailure{Exit::Layout, QStringLiteral("no saved layout \"%1\" for this report (looked for %2)")
                                            .arg(layout, path)};
    const QString setting = lastLayoutSettingName(r.ReportKey);
    const QString remembered = setting.isEmpty() ? QString() : rememberedLayout(setting);
    LoadLayout(viewer, file);
    if (!setting.isEmpty())
        rememberLayout(setting, remembered);
    return std::nullopt;
}

} // namespace

QStringList kinds()
{
    return {QStringLiteral("inventory"),     QStringLiteral("deletedinv"),      QStringLiteral("customsql"),
            QStringLiteral("servicereport"), QStringLiteral("projectedreport"), QStringLiteral("masterinv"),
            QStringLiteral("allcustomers")};
}

std::optional<JobFailure> checkJob(const Job &job)
{
    if (!kinds().contains(job.kind))
        return JobFailure{Exit::Usage, job.kind.isEmpty() ? QStringLiteral("--kind is missing")
                                                          : QStringLiteral("unknown kind \"%1\" (one of: %2)")
                                                                .arg(job.kind, kinds().join(QStringLiteral(", ")))};
    if (needsSql(job.kind) && job.sql.trimmed().isEmpty())
        return JobFailure{Exit::Usage, QStringLiteral("--sql is needed for the %1 report").arg(job.kind)};
    if (job.connString.isEmpty())
        return JobFailure{Exit::Usage, QStringLiteral("--conn is missing")};
    if (job.out.isEmpty())
        return JobFailure{Exit::Usage, QStringLiteral("--out is missing")};
    static const QStringList endings{QStringLiteral(".xls"), QStringLiteral(".xlsx"), QStringLiteral(".html"),
                                     QStringLiteral(".txt")};
    const QString suffix = QLatin1Char('.') + QFileInfo(job.out).suffix().toLower();
    if (!endings.contains(suffix))
        return JobFailure{Exit::Usage,
                          QStringLiteral("%1: the output name must end in .xls, .xlsx, .html or .txt").arg(job.out)};
    return std::nullopt;
}

std::optional<JobFailure> runJob(const Job &job, const Progress &progress, qint64 &written)
{
    written = 0;
    // The viewer, its connection and its grid go before the process does, on every path.
    struct Unload {
        ~Unload()
        {
            frmMain::unloadAll();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    } unload;
    std::optional<Failure> loadFailure;
    setLoadFailureHandler([&loadFailure](const Failure &f) { loadFailure = f; });
    openReport(job);
    setLoadFailureHandler({});
    frmMain *viewer = frmMain::instance();
    if (loadFailure)
        return JobFailure{Exit::Report, loadFailureLine(*loadFailure)};
    if (!viewer || !viewer->Jgrid->table())
        return JobFailure{Exit::Report, QStringLiteral("the report could not be run")};
    ReportGrid &grid = *viewer->Jgrid;
    if (progress)
        progress("fetched", grid.table()->rowCount());
    if (!job.layout.isEmpty()) {
        if (auto failed = applyLayout(*viewer, job.layout))
            return failed;
    }

    // The rows as the viewer's export takes them: every group expanded, the grid's order.
    grid.setRedraw(false);
    grid.refresh();
    grid.expandAll();
    const ExportTable table = ExportTable::fromGrid(grid);
    const ReportRequest &r = request();
    const PageInfo page{r.ReportTitle, r.Storename + QStringLiteral(" Store#: ") + r.StoreNumber,
                        QDateTime::currentDateTime()};
    ExportProgress counter;
    Result<int> result = Failure{};
    const QString target = QFileInfo(job.out).absoluteFilePath();
    std::unique_ptr<QThread> worker(
        QThread::create([&] { result = writeExportFile(table, target, page, &counter); }));
    worker->start();
    while (!worker->wait(std::chrono::milliseconds(250))) {
        if (progress)
            progress("written", counter.records.load(std::memory_order_relaxed));
    }
    if (!result)
        return JobFailure{Exit::Output, QStringLiteral("%1: %2").arg(job.out, result.failure().description)};
    written = result.value();
    if (progress)
        progress("written", written);
    return std::nullopt;
}

} // namespace velmora::report
