// The viewer's load step: the work done once when an entry point loads frmMain. It picks the report
// kind, fixes the query of the built-in kinds, connects, runs the query, binds the rows to Jgrid,
// sets print headers, totals and the totals group, and reopens the kind's last layout.

#include "viewer/loadstep.h"
#include "viewer/frmMain.h"

#include "core/reportrequest.h"
#include "core/catalogue.h"
#include "data/connection.h"
#include "data/searchfile.h"
#include "grid/reportgrid.h"
#include "platform/platform.h"
#include "viewer/failurereport.h"
#include "viewer/layouts.h"

#include <velmora/error.h>

#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QEventLoop>
#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <exception>

namespace velmora {

namespace {

using catalogue::DataSettings;
using catalogue::Kind;

// Step numbers as the failure report's "Line#:" shows them.
namespace Step {
constexpr int BuiltInQuery = 3;
constexpr int Connect = 5;
constexpr int Open = 7;
constexpr int Query = 8;
constexpr int Caption = 9;
constexpr int ViewSetUp = 10;
constexpr int KindSetUp = 11;
constexpr int ColumnPass = 12;
constexpr int LastLayout = 14;
} // namespace Step

// Our number for a statement that yields no row set, the one a support desk knows for it.
constexpr int NotARowSet = 3704;

// A failure of the load step, carried to its one report.
struct LoadFailure {
    Failure failure;
};

void fail(Failure f, int step)
{
    f.step = step;
    throw LoadFailure{std::move(f)};
}

void setTotal(ReportGrid &grid, const catalogue::TotalRule &rule)
{
    GridColumn *column = grid.columnByKey(rule.field);
    if (!column)
        return;   // a host's query need not select every column the kind totals
    column->setAggregateFunction(rule.function);
    if (rule.function == catalogue::Total::Count) {
        column->setTotalFormat(catalogue::countFormat());
        column->setTotalPrefix(catalogue::countPrefix());
    } else {
        column->setTotalFormat(catalogue::sumFormat());
    }
}

std::vector<catalogue::FieldType> fieldTypes(const RecordTable &table)
{
    std::vector<catalogue::FieldType> fields;
    fields.reserve(std::size_t(table.columnCount()));
    for (int c = 0; c < table.columnCount(); ++c) {
        const ColumnInfo &info = table.column(c);
        fields.push_back({info.name, info.typeCode, info.scale});
    }
    return fields;
}

// Every row forms one group on the hidden, empty totals column, so that group's totals are the
// report's totals and the user can drag other columns in front of it.
void addTotalsGroup(ReportGrid &grid)
{
    GridColumn *column = grid.addColumn();
    column->setTotalsMarker(1);
    column->setCaption(catalogue::totalsColumnCaption());
    column->setVisible(false);
    grid.groups().add(grid.columnCount(), 1);
}

void applyDataSettings(ReportGrid &grid, DataSettings data, AccessMode mode)
{
    grid.setAllowAddNew(false);
    switch (data) {
    case DataSettings::ReadCustom:
        grid.setAllowDelete(false);
        grid.setAllowEdit(mode != AccessMode::Read);
        break;
    case DataSettings::Deletable:
        grid.setAllowDelete(true);
        grid.setAllowEdit(false);
        break;
    case DataSettings::None:
    case DataSettings::ReadOnly:
    case DataSettings::MasterOnly:
        grid.setAllowDelete(false);
        grid.setAllowEdit(false);
        break;
    }
}

} // namespace

LoadProgress::LoadProgress(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(kProgressInterval);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_job)
            emit rowsArrived(m_job->rowsArrived());
    });
}

LoadProgress *LoadProgress::instance()
{
    static QPointer<LoadProgress> s_progress;
    if (!s_progress)
        s_progress = new LoadProgress(QCoreApplication::instance());
    return s_progress;
}

bool LoadProgress::isRunning() const
{
    return m_job != nullptr;
}

qint64 LoadProgress::arrived() const
{
    return m_job ? m_job->rowsArrived() : 0;
}

LoadProgress::Outcome LoadProgress::run(const QString &connString, AccessMode mode, const QString &sql)
{
    const quint64 generation = ++m_generation;
    QPointer<LoadProgress> self(this);
    auto job = LoadJob::start(connString, mode, sql, [self, generation] {
        // On the worker: only a queued call crosses to this thread.
        QMetaObject::invokeMethod(self, [self, generation] {
            if (self)
                self->jobEnded(generation);
        }, Qt::QueuedConnection);
    });
    QEventLoop loop;
    m_job = job;
    m_loop = &loop;
    emit started();
    m_timer->start();
    if (!job->isFinished() && !job->isCancelled())
        loop.exec();
    m_timer->stop();
    m_loop = nullptr;
    m_job.reset();
    emit rowsArrived(job->rowsArrived());
    emit ended();

    Outcome out;
    out.cancelled = job->isCancelled();
    out.rows = job->takeResult();
    out.connection = job->takeConnection();
    return out;
}

void LoadProgress::cancel()
{
    if (!m_job)
        return;
    m_job->cancel();
    if (m_loop)
        m_loop->quit();
}

void LoadProgress::jobEnded(quint64 generation)
{
    if (generation == m_generation && m_loop)
        m_loop->quit();
}

QString incompleteReportText(int rows)
{
    return QStringLiteral("The report is incomplete: its load was cancelled, and it holds only the %L1 rows that "
                          "had arrived.")
        .arg(rows);
}

void frmMain::Form_Load()
{
    ReportRequest &r = request();
    platform::setDefaultHelpFile(r.LocalPath + QStringLiteral("Velmora.chm"));

    const catalogue::Row &kind = catalogue::rowForKey(r.ReportKey);
    ReportGrid &grid = *Jgrid;

    const auto commonViewSetUp = [&] {
        r.LayoutName.clear();
        Form_Resize();
        PrinterSettings &print = grid.printerSettings();
        print.marginLeft = 720;
        print.marginRight = 720;
        print.marginBottom = 720;
        print.marginTop = 1080;   // room for the three header texts
        print.repeatHeaders = true;
        if (kind.landscape)
            print.orientation = 2;
        showFitToPage(print.fitColumnsToPage);
        print.headerLeft = r.ReportTitle;
        print.headerCenter = catalogue::storeHeader(r.Storename, r.StoreNumber);
        print.headerRight = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    };

    const auto columnPassAndMenu = [&] {
        for (int i = 1; i <= grid.columnCount(); ++i)
            grid.column(i)->autoSize();
        for (const QString &name : kind.hiddenColumns) {
            if (GridColumn *column = grid.columnByKey(name))
                column->setVisible(false);
        }
        if (grid.rowCount() > 2)
            grid.moveFirst();
        QAction *gridView = MnuViewStyle(0);
        gridView->setText(QStringLiteral("Grid View"));
        gridView->setCheckable(true);
        gridView->setVisible(true);
        gridView->setChecked(true);
        QAction *cardView = addMnuViewStyle();
        cardView->setText(QStringLiteral("Card View"));
        cardView->setCheckable(true);
        cardView->setVisible(true);
        cardView->setChecked(false);
    };

    const auto reopenLastLayout = [&] {
        if (kind.lastLayoutName.isEmpty())
            return;
        const QString name = rememberedLayout(kind.lastLayoutName);
        if (!name.isEmpty())
            LoadLayout(*this, name);
    };

    if (kind.kind == Kind::CustomerSearch) {
        // No failure report here: a search file that is missing, locked by another password or
        // unreadable reaches the host as a velmora::Error.
        commonViewSetUp();
        r.SQLstatement = catalogue::customerSearchQuery();
        auto table = loadSearchFile(catalogue::searchFilePath(r.LocalPath), r.DBpassword, r.SQLstatement);
        if (!table)
            throw Error(table.failure().number, table.failure().description, table.failure().engineMessages);
        grid.setTable(table.value());
        grid.rankTextsInBackground();
        applyDataSettings(grid, kind.data, AccessMode::Read);
        columnPassAndMenu();
        reopenLastLayout();
        return;
    }

    switch (kind.kind) {
    case Kind::DeletedInv: r.SQLstatement = catalogue::deletedInventoryQuery(); break;
    case Kind::AllCustomers: r.SQLstatement = catalogue::allCustomersQuery(); break;
    case Kind::MasterInv: r.SQLstatement = catalogue::masterInventoryQuery(r.StoreNumber, r.MasterFilter); break;
    default: break;
    }

    int step = Step::BuiltInQuery;
    try {
        step = Step::Connect;
        int mode = kind.mode;
        if (kind.kind == Kind::CustomSqlSecurity) {
            const catalogue::SecuredQuery secured = catalogue::securedQuery(r.SQLstatement);
            mode = secured.mode;
            r.SQLstatement = secured.sql;
        }
        const AccessMode access = mode == catalogue::Mode::Read ? AccessMode::Read : AccessMode::ReadWrite;

        step = Step::Open;
        // The attach and the fetch run on a worker: the splash keeps painting, counts the rows
        // and offers Cancel. The viewer may be closed meanwhile; then nothing of it is touched.
        QPointer<frmMain> self(this);
        LoadProgress::Outcome loaded = LoadProgress::instance()->run(r.ConnString, access, r.SQLstatement);
        if (!self)
            return;
        connection = std::move(loaded.connection);
        if (!loaded.rows)
            fail(loaded.rows.failure(), loaded.rows.failure().step == Step::Open ? Step::Open : Step::Query);
        step = Step::Query;
        std::shared_ptr<RecordTable> table = std::move(loaded.rows.value());
        const bool cancelled = loaded.cancelled;

        step = Step::Caption;
        if (kind.kind == Kind::DeletedInv)
            setWindowTitle(QStringLiteral("Deleted Inventory"));

        step = Step::ViewSetUp;
        commonViewSetUp();
        if (cancelled)
            showStatus(incompleteReportText(table->rowCount()));
        if (cancelled && table->columnCount() == 0)
            return;   // stopped before the query said its columns: an empty viewer
        if (table->columnCount() == 0) {
            // The statement ran but is no query (an update, a procedure without output): there
            // is nothing to bind, and the engine had nothing to complain about.
            Failure notRows;
            notRows.number = NotARowSet;
            notRows.description = QStringLiteral("The statement returned no rows to show; a report needs a query "
                                                 "that selects rows.");
            fail(notRows, step);
        }
        const bool editable = kind.data == DataSettings::Deletable ||
                              (kind.data == DataSettings::ReadCustom && access == AccessMode::ReadWrite);
        writer.reset();
        if (editable)
            writer = connection->writer(table);
        grid.setTable(table, writer);
        grid.rankTextsInBackground();

        step = Step::KindSetUp;
        const std::vector<catalogue::TotalRule> totals =
            kind.totalsFromFieldTypes ? catalogue::totalsFromFieldTypes(fieldTypes(*table)) : kind.totals;
        for (const catalogue::TotalRule &rule : totals)
            setTotal(grid, rule);
        if (kind.totalsGroup)
            addTotalsGroup(grid);
        applyDataSettings(grid, kind.data, access);

        step = Step::ColumnPass;
        columnPassAndMenu();
        if (kind.totalsFromFieldTypes)
            return;   // custom SQL results never reopen a layout

        step = Step::LastLayout;
        reopenLastLayout();
    } catch (const LoadFailure &f) {
        reportLoadFailure(f.failure);
    } catch (const std::exception &e) {
        Failure f;
        f.description = QString::fromLocal8Bit(e.what());
        f.step = step;
        reportLoadFailure(f);
    }
}

} // namespace velmora
