#pragma once

// What the viewer, control and search tests share: the widgets they drive, small in-memory
// results, a copy of the sample store on disk, and the grid as the mouse reaches it.

#include "common/dialogsteps.h"
#include "common/testservices.h"
#include "control/loadviewer.h"
#include "dialogs/dialogtesting.h"
#include "core/reportrequest.h"
#include "grid/gridtesting.h"
#include "grid/reportgrid.h"
#include "viewer/FileDLG.h"
#include "viewer/frmMain.h"

#include <velmora/qlrvx.h>

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

namespace velmora::test {

// Closes every viewer of the component and lets the deleted windows go.
inline void unloadViewers()
{
    frmMain::unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Closes the viewer and every other window of the component, as a test's cleanup; nothing may
// leave the busy pointer behind.
inline void closeEveryWindow(QWidget *viewer)
{
    delete viewer;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qstrncmp(w->metaObject()->className(), "velmora::", 9) == 0)
            delete w;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// A file's bytes, or "<missing>".
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes a whole file, making its folder first.
inline bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The component's settings as another program (or the user's last session) sees them.
inline QSettings storedSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), QStringLiteral("Velmora"));
}

// A copy of the sample store with a data and a local folder; the settings are kept there too.
struct SampleStore {
    QTemporaryDir dir;
    QString db, conn, data, local, settings;
    bool setUp()
    {
        settings = dir.filePath(QStringLiteral("settings"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
        db = copySampleDatabase(dir.path());
        conn = QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey").arg(db);
        data = dir.filePath(QStringLiteral("data/"));
        local = dir.filePath(QStringLiteral("local/"));
        return dir.isValid() && QFileInfo::exists(db) && QDir().mkpath(data) && QDir().mkpath(local);
    }
};

struct SampleRow {
    const char *model;
    int store;
    qint64 cents;
    const char *account;
    int day;   // day of March 2024
};

// Models are chosen so that their first letters tell the type-to-jump cases apart.
inline constexpr SampleRow kSampleRows[] = {
    {"Alpha TV", 1, 129900, "C1001", 1},     {"Bravo Sound", 2, 45050, "C1002", 2},
    {"Charlie Lamp", 1, 1999, "C1003", 3},   {"alpine Desk", 3, 30000, "C1004", 4},
    {"Delta Fridge", 2, 99900, "C1005", 5},  {"Echo Speaker", 1, 15000, "C1006", 6},
    {"bravo Chair", 3, 8900, "C1007", 7},    {"Foxtrot PC", 2, 250000, "C1008", 8},
};
inline constexpr int kSampleCount = int(std::size(kSampleRows));

// Columns: model, store, cost (NUMERIC(15,2)), account, daterec; `repeat` copies of the rows,
// the copies' models numbered so every row stays distinguishable in printed output.
inline std::shared_ptr<RecordTable> sampleTable(int repeat = 1)
{
    RecordTable::Builder b;
    const int cModel = b.addColumn(textColumn("model"));
    ColumnInfo store = integerColumn("store");
    store.typeCode = TypeCode::Integer;
    store.definedSize = 4;
    const int cStore = b.addColumn(store);
    const int cCost = b.addColumn(integerColumn("cost", 2));
    const int cAccount = b.addColumn(textColumn("account", 12));
    const int cDate = b.addColumn(dateColumn("daterec"));
    for (int copy = 0; copy < repeat; ++copy) {
        for (const SampleRow &row : kSampleRows) {
            const QString name = QString::fromUtf8(row.model);
            b.appendText(cModel, copy == 0 ? name : QStringLiteral("%1 #%2").arg(name).arg(copy));
            b.appendInteger(cStore, row.store);
            b.appendInteger(cCost, row.cents);
            b.appendText(cAccount, QString::fromUtf8(row.account));
            b.appendDate(cDate, std::int32_t(QDate(2024, 3, row.day).toJulianDay()));
        }
    }
    return std::make_shared<RecordTable>(b.finish());
}

// A viewer over a small five-column table, with the hidden totals column the load step adds.
inline frmMain *layoutViewer()
{
    RecordTable::Builder b;
    for (const char *name : {"model", "serial", "description", "store", "cost"})
        b.addColumn(textColumn(name, 0));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            b.appendText(c, QStringLiteral("v%1%2").arg(r).arg(c));
    auto *viewer = new frmMain;
    viewer->setAttribute(Qt::WA_DeleteOnClose, false);
    viewer->Jgrid->setTable(std::make_shared<RecordTable>(b.finish()));
    GridColumn *totals = viewer->Jgrid->addColumn();
    totals->setTotalsMarker(1);
    totals->setCaption(QStringLiteral("Drag Columns Here to Group"));
    totals->setVisible(false);
    return viewer;
}

// A point of the grid (in its coordinates) for which `wanted` holds, scanning the grid.
inline QPoint findPoint(ReportGrid *grid, const std::function<bool(QPoint)> &wanted)
{
    for (int y = 1; y < grid->height(); y += 2)
        for (int x = 2; x < grid->width(); x += 4)
            if (wanted(QPoint(x, y)))
                return {x, y};
    return {-1, -1};
}

// A point over a record cell; column 0 takes any column.
inline QPoint recordPoint(ReportGrid *g, int row, int column = 0)
{
    return findPoint(g, [=](QPoint q) {
        return g->hitTest(q) == GridArea::Record && g->rowFromPoint(q) == row
               && (column == 0 || g->columnFromPoint(q) == column);
    });
}

// Sends a click, or a double click, at grid point p to the widget that is really there.
inline void clickGrid(ReportGrid *grid, QPoint p, Qt::MouseButton button = Qt::LeftButton, bool twice = false)
{
    QWidget *target = grid->childAt(p);
    QVERIFY2(target, "nothing of the grid is at that point");
    const QPoint local = target->mapFrom(grid, p);
    if (!twice)
        return QTest::mouseClick(target, button, {}, local);
    QTest::mousePress(target, button, {}, local);
    QTest::mouseRelease(target, button, {}, local);
    QTest::mouseDClick(target, button, {}, local);
}

// A host's call of a report method of QLrvx by name, with the host's own variables (which the
// master report may change); without a local path, the overload that takes none.
struct HostCall {
    QString sql, data, conn, name, number, local;
    bool withLocal = true;
};
inline void callReport(QLrvx &control, const QString &method, HostCall &a)
{
    using Short = void (QLrvx::*)(QString &, QString &, QString &, QString &, QString &);
    using Long = void (QLrvx::*)(QString &, QString &, QString &, QString &, QString &, QString &);
    const QMap<QString, std::pair<Short, Long>> withQuery{
        {QStringLiteral("ShowINVReport"), {&QLrvx::ShowINVReport, &QLrvx::ShowINVReport}},
        {QStringLiteral("CustomSQL"), {&QLrvx::CustomSQL, &QLrvx::CustomSQL}},
        {QStringLiteral("CustomSQLSecurity"), {&QLrvx::CustomSQLSecurity, &QLrvx::CustomSQLSecurity}},
        {QStringLiteral("ServiceReport"), {&QLrvx::ServiceReport, &QLrvx::ServiceReport}},
        {QStringLiteral("ProjectedReport"), {&QLrvx::ProjectedReport, &QLrvx::ProjectedReport}}};
    if (method == u"ShowDeletedInv")
        control.ShowDeletedInv(a.data, a.local, a.conn, a.name, a.number);
    else if (method == u"ShowMasterInv")
        control.ShowMasterInv(a.data, a.local, a.conn, a.name, a.number);
    else if (a.withLocal)
        (control.*withQuery.value(method).second)(a.sql, a.data, a.conn, a.name, a.number, a.local);
    else
        (control.*withQuery.value(method).first)(a.sql, a.data, a.conn, a.name, a.number);
}

} // namespace velmora::test
