#include "dialogtesting.h"

#include "dialogs/frmCardView.h"
#include "dialogs/frmTableview.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QRegularExpression>

using namespace velmora;
using namespace velmora::test;

namespace {

QColor buttonFace() { return QApplication::palette().color(QPalette::Button); }

// The table view settings in one line: "edit new lines -1/1 shaded auto" (absent words are off).
QString formatState(const ReportGrid &grid)
{
    const QString lines = QStringLiteral("lines %1/%2").arg(grid.gridLines()).arg(grid.gridLineStyle());
    return QStringList{grid.allowEdit() ? "edit" : "", grid.allowAddNew() ? "new" : "", lines,
                       grid.groupHeadingBackColor() == buttonFace() ? "shaded" : "", grid.columnAutoResize() ? "auto" : ""}
        .join(u' ').simplified();
}

void setFormatState(ReportGrid &grid, const QString &state)
{
    grid.setAllowEdit(state.contains(QStringLiteral("edit")));
    grid.setAllowAddNew(state.contains(QStringLiteral("new")));
    const auto lines = QRegularExpression(QStringLiteral("lines (-?\\d+)/(\\d+)")).match(state);
    grid.setGridLines(lines.captured(1).toInt());
    grid.setGridLineStyle(lines.captured(2).toInt());
    grid.setGroupHeadingBackColor(state.contains(QStringLiteral("shaded")) ? buttonFace() : QColor(Qt::yellow));
    grid.setColumnAutoResize(state.contains(QStringLiteral("auto")));
}

// A family the font dialog shows as it is (it substitutes families that are not installed).
QString installedFamily()
{
    const QStringList families = QFontDatabase::families();
    return families.contains(QStringLiteral("DejaVu Sans")) ? QStringLiteral("DejaVu Sans") : families.value(0);
}

} // namespace

class tst_FormatView : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        grid = customerGrid();
        QFont tahoma(QStringLiteral("Tahoma"));
        tahoma.setPointSizeF(8);
        grid->setBodyFont(tahoma);
        tahoma.setBold(true);
        grid->setHeadingFont(tahoma);
        grid->setHeadingTextColor(Qt::black);
        grid->setBodyTextColor(Qt::darkBlue);
        frmCardView::setTwipsPerPixel(15);
    }

    void cleanup()
    {
        grid.reset();
        frmCardView::setTwipsPerPixel(0);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void table_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("after");

        QTest::newRow("captions and the grid line entries")
            << "edit new lines -1/1 shaded auto"
            << QStringList{"?title=Format Table View", "?chkAutoColSize=Automatic column sizing",
                           "?chknewrow=Show \"new item\" row", "?chkAllowed=Allow in-cell editing",
                           "?chkgrouphead=Shade group headings", "?lblGridlines=Grid line style:", "?cmdfont(0)=Font...",
                           "?items:cboGridlines=No grid lines,Small Dots,Dashes,Solid", "cmdCancel"}
            << "edit new lines -1/1 shaded auto";
        QTest::newRow("OK writes back what it read: dashes, shaded, auto sizing")
            << "edit new lines -1/1 shaded auto"
            << QStringList{"?cboGridlines=Dashes", "?on:chkgrouphead", "?on:chkAutoColSize", "?on:chknewrow", "cmdOK"}
            << "edit new lines -1/1 shaded auto";
        QTest::newRow("OK writes back what it read: mode 2 small dots")
            << "lines 2/2" << QStringList{"?cboGridlines=Small Dots", "?off:chkAllowed", "?disabled:chknewrow", "cmdOK"}
            << "lines 2/2";
        QTest::newRow("an unknown style selects no entry and stays")
            << "lines -1/7" << QStringList{"?cboGridlines=", "cmdOK"} << "lines -1/7";
        QTest::newRow("solid from no lines")
            << "lines 0/0" << QStringList{"cboGridlines=Solid", "cmdOK"} << "lines -1/0";
        QTest::newRow("small dots keep mode 2")
            << "lines 2/0" << QStringList{"cboGridlines=Small Dots", "cmdOK"} << "lines 2/2";
        QTest::newRow("no grid lines from mode 2")
            << "lines 2/0" << QStringList{"cboGridlines=No grid lines", "cmdOK"} << "lines 0/0";
        QTest::newRow("a new-item row without editing shows cleared")
            << "new lines -1/0" << QStringList{"?off:chknewrow", "?disabled:chknewrow", "cmdCancel"}
            << "new lines -1/0";
        QTest::newRow("editing switched off clears the new-item row for good")
            << "edit new lines -1/0"
            << QStringList{"chkAllowed", "?off:chknewrow", "?disabled:chknewrow", "chkAllowed", "?enabled:chknewrow",
                           "?off:chknewrow", "cmdOK"}
            << "edit lines -1/0";
        QTest::newRow("shading and automatic sizing switched")
            << "lines -1/0 auto" << QStringList{"chkgrouphead", "chkAutoColSize", "cmdOK"} << "lines -1/0 shaded";
        QTest::newRow("unshading writes the window background")
            << "lines -1/0 shaded" << QStringList{"chkgrouphead", "cmdOK"} << "lines -1/0";
        QTest::newRow("Cancel writes nothing")
            << "lines -1/0" << QStringList{"chkAllowed", "chkgrouphead", "cboGridlines=Dashes", "cmdCancel"}
            << "lines -1/0";
    }

    void table()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, steps);
        setFormatState(*grid, before);
        play<frmTableview>(steps, [this] { frmTableview::FormatGrid(*grid); });
        QTEST(formatState(*grid), "after");
    }

    void fonts_data()
    {
        QTest::addColumn<int>("which");          // 0 headings (8.5 pt. before), 1 body
        QTest::addColumn<double>("size");        // 0: the font dialog is cancelled
        QTest::addColumn<QColor>("colour");      // invalid: the colour dialog is cancelled
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("shown");      // the size the caption shows afterwards
        QTest::addColumn<QColor>("colourAfter");

        QTest::newRow("body font and colour with OK") << 1 << 12.0 << QColor(Qt::darkGreen) << "cmdOK" << "12"
                                                      << QColor(Qt::darkGreen);
        QTest::newRow("Cancel keeps the font, not the colour") << 0 << 14.0 << QColor(Qt::red) << "cmdCancel" << "14"
                                                               << QColor(Qt::black);
        QTest::newRow("a cancelled font dialog changes nothing") << 0 << 0.0 << QColor(Qt::red) << "cmdOK" << "8"
                                                                 << QColor(Qt::black);
        QTest::newRow("a cancelled colour dialog keeps the colour") << 1 << 10.0 << QColor() << "cmdOK" << "10"
                                                                    << QColor(Qt::darkBlue);
    }

    void fonts()
    {
        QFETCH(int, which);
        QFETCH(double, size);
        QFETCH(QColor, colour);
        QFETCH(QString, button);
        grid->setHeadingFont([f = grid->headingFont()]() mutable { f.setItalic(true); f.setPointSizeF(8.5); return f; }());
        grid->setHeadingTextColor(Qt::black);
        const QString label = QStringLiteral("lblcurrfont(%1)").arg(which);
        std::shared_ptr<bool> colourAsked;
        auto act = [&](QDialog *dlg) {
            // The captions show the grid's fonts in their own style and colour, sizes halved to even.
            step(dlg, QStringLiteral("?lblcurrfont(0)=8 pt. Tahoma"));
            const QLabel *heading = child<QLabel>(dlg, QStringLiteral("lblcurrfont(0)"));
            const QLabel *body = child<QLabel>(dlg, QStringLiteral("lblcurrfont(1)"));
            QVERIFY(heading->font().italic() && !body->font().bold());
            QCOMPARE(body->palette().color(QPalette::WindowText), QColor(Qt::darkBlue));
            auto answered = whenOpen<QFontDialog>([=, &colourAsked](QFontDialog *fonts) {
                QCOMPARE(fonts->objectName(), QStringLiteral("cdlFont"));
                if (size == 0)
                    return fonts->reject();
                colourAsked = whenOpen<QColorDialog>([=](QColorDialog *colours) {
                    QCOMPARE(colours->objectName(), QStringLiteral("cdlColor"));
                    colours->setCurrentColor(colour);
                    colour.isValid() ? colours->accept() : colours->reject();
                });
                QFont f(installedFamily());
                f.setPointSizeF(size);
                fonts->setCurrentFont(f);
                fonts->accept();
            });
            step(dlg, QStringLiteral("cmdfont(%1)").arg(which));
            QVERIFY(*answered);
            QTEST(shownText(child<QLabel>(dlg, label)).section(u' ', 0, 0), "shown");
            step(dlg, button);
        };
        auto opened = whenOpen<QDialog>(act);
        frmTableview::FormatGrid(*grid);
        QVERIFY(*opened);
        const QFont font = which ? grid->bodyFont() : grid->headingFont();
        QCOMPARE(font.pointSizeF(), size ? size : 8.5);
        QTEST(which ? grid->bodyTextColor() : grid->headingTextColor(), "colourAfter");
        QCOMPARE(which ? grid->headingTextColor() : grid->bodyTextColor(), which ? QColor(Qt::black) : QColor(Qt::darkBlue));
    }

    void cardWidth_data()
    {
        QTest::addColumn<QStringList>("steps");   // at 15 twips a pixel
        QTest::addColumn<int>("twips");
        QTest::addColumn<bool>("edit");

        QTest::newRow("captions; 3000 twips shown as 200 pixels")
            << QStringList{"?title=Format Card View", "?chkAllowed=Allow in-cell editing", "?txtCardWidth=200",
                           "?lblcurrfont(0)=8 pt. Tahoma", "cmdOK"}
            << 3000 << false;
        QTest::newRow("250 pixels typed") << QStringList{"txtCardWidth:=250", "cmdOK"} << 3750 << false;
        QTest::newRow("spaces around") << QStringList{"txtCardWidth:= 180 ", "cmdOK"} << 2700 << false;
        QTest::newRow("not a number keeps the width, the rest is written")
            << QStringList{"txtCardWidth:=wide", "chkAllowed", "cmdOK"} << 3000 << true;
        QTest::newRow("Cancel keeps the width") << QStringList{"txtCardWidth:=300", "chkAllowed", "cmdCancel"} << 3000 << false;
    }

    void cardWidth()
    {
        QFETCH(QStringList, steps);
        grid->setViewMode(1);
        grid->setCardWidth(3000);
        grid->setAllowEdit(false);
        play<frmCardView>(steps, [this] { frmCardView::FormatGrid(*grid); });
        QTEST(grid->cardWidth(), "twips");
        QTEST(grid->allowEdit(), "edit");
    }

private:
    std::unique_ptr<ReportGrid> grid;
};

QTEST_MAIN(tst_FormatView)
#include "tst_formatview.moc"
