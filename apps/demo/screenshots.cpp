// Takes the README's pictures of the demo: the host form, the inventory report grouped by category
// with its totals, and that report's print preview. Run under a display (xvfb-run is enough):
//   velmora-demo-screenshots --db <store.fdb> --data <folder/> --local <folder/> --out <folder>

#include "demowindow.h"

#include "grid/reportgrid.h"
#include "viewer/frmMain.h"
#include "viewer/frmPrintPreview.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

bool save(QWidget *w, const QString &file)
{
    QApplication::processEvents();
    const bool ok = w->grab().save(file);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("data folder"), QStringLiteral("folder"));
    const QCommandLineOption local(QStringLiteral("local"), QStringLiteral("local folder"), QStringLiteral("folder"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("store database"), QStringLiteral("path.fdb"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("where the pictures go"),
                                 QStringLiteral("folder"), QStringLiteral("."));
    parser.addOptions({data, local, db, out});
    parser.addHelpOption();
    parser.process(app);
    const QString folder = parser.value(out);
    QDir().mkpath(folder);

    DemoWindow window({parser.value(data), parser.value(local), parser.value(db)});
    window.resize(1000, 560);
    window.show();
    int failures = 0;
    QTimer::singleShot(300, [&] {
        failures += !save(&window, folder + QStringLiteral("/demo-host.png"));
        window.findChild<QPushButton *>(QStringLiteral("cmdShowINVReport"))->click();
        velmora::frmMain *viewer = velmora::frmMain::instance();
        if (!viewer) {
            ++failures;
            QApplication::exit(1);
            return;
        }
        viewer->resize(1200, 700);
        velmora::ReportGrid &grid = *viewer->Jgrid;
        // As a user dragging "category" into the group-by box under the report totals.
        grid.setGroupByBoxVisible(true);
        if (velmora::GridColumn *category = grid.columnByKey(u"category"))
            grid.groups().add(category->index(), 1);
        // Collapsed categories keep their totals lines: the per-category summary a manager reads.
        grid.collapseAll();
        grid.setExpanded(1, true);
        QTimer::singleShot(300, [&, viewer] {
            failures += !save(viewer, folder + QStringLiteral("/inventory-grouped.png"));
            auto *preview = viewer->findChild<QAction *>(QStringLiteral("mnuPrintPreview"));
            if (!preview) {
                ++failures;
                QApplication::exit(failures);
                return;
            }
            // A user trims the long description away before printing, and fits the rest to the page.
            if (velmora::GridColumn *description = viewer->Jgrid->columnByKey(u"description"))
                description->setVisible(false);
            if (auto *fit = viewer->MNUfitcol; fit && !fit->isChecked())
                fit->trigger();
            preview->setEnabled(true);
            preview->trigger();
            QTimer::singleShot(800, [&, viewer] {
                if (QWidget *window = viewer->printPreview())
                    failures += !save(window, folder + QStringLiteral("/print-preview.png"));
                else
                    ++failures;
                velmora::frmMain::unloadAll();
                QApplication::exit(failures);
            });
        });
    });
    return app.exec();
}
