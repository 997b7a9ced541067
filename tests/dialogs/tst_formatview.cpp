#include "dialogtesting.h"

#include "dialogs/frmCardView.h"
#include "dialogs/frmTableview.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

namespace {

QCheckBox *box(QWidget *dlg, const char *name)
{
    return child<QCheckBox>(dlg, QString::fromLatin1(name));
}

QString currentFont(QWidget *dlg, int i)
{
    return child<QLabel>(dlg, QStringLiteral("lblcurrfont(%1)").arg(i))->text();
}

QColor buttonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

QColor windowBackground()
{
    return QApplication::palette().color(QPalette::Base);
}

// Answers the font dialog with `font` and then the colour dialog with `colour` (an invalid
// colour cancels it); a default font cancels the font dialog.
std::shared_ptr<bool> answerFontDialogs(const QFont &font, const QColor &colour)
{
    auto done = std::make_shared<bool>(false);
    whenOpen<QFontDialog>([=](QFontDialog *fonts) {
        QCOMPARE(fonts->objectName(), QStringLiteral("cdlFont"));
        if (font == QFont()) {
            fonts->reject();
            *done = true;
            return;
        }
        whenOpen<QColorDialog>([=](QColorDialog *colours) {
            QCOMPARE(colours->objectName(), QStringLiteral("cdlColor"));
            if (colour.isValid()) {
                colours->setCurrentColor(colour);
                colours->accept();
            } else {
                colours->reject();
            }
            *done = true;
        });
        fonts->setCurrentFont(font);
        fonts->accept();
    });
    return done;
}

// A family the font dialog can show as it is (it substitutes families that are not installed).
QString installedFamily()
{
    const QStringList families = QFontDatabase::families();
    return families.contains(QStringLiteral("DejaVu Sans")) ? QStringLiteral("DejaVu Sans") : families.value(0);
}

QFont styled(const QString &family, double size, bool bold, bool italic, bool underline = false)
{
    QFont f(family);
    f.setPointSizeF(size);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

} // namespace

class tst_FormatView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void tableControlsAndCaptions();
    void tableReadsGrid_data();
    void tableReadsGrid();
    void tableOkRoundTrip_data();
    void tableOkRoundTrip();
    void gridLinesModeZero();
    void gridLineStyleFromList_data();
    void gridLineStyleFromList();
    void unknownLineStyleLeftAlone();
    void editingGatesNewItemRow();
    void shadeGroupHeadings_data();
    void shadeGroupHeadings();
    void currentFontCaption_data();
    void currentFontCaption();
    void fontChoiceThenOk();
    void cancelAfterFontChange();
    void fontDialogCancelChangesNothing();
    void colourDialogCancelKeepsColour();

    void cardControlsAndCaptions();
    void cardWidthShownInPixels_data();
    void cardWidthShownInPixels();
    void cardWidthWrittenInTwips_data();
    void cardWidthWrittenInTwips();
    void cardWidthNotANumber();
    void cardCancelAfterFontChange();
    void cardScreenTwipsPerPixel();

private:
    std::unique_ptr<ReportGrid> grid;
};

void tst_FormatView::init()
{
    grid = customerGrid();
    grid->setHeadingFont(styled(QStringLiteral("Tahoma"), 8, true, false));
    grid->setBodyFont(styled(QStringLiteral("Tahoma"), 8, false, false));
    grid->setHeadingTextColor(Qt::black);
    grid->setBodyTextColor(Qt::darkBlue);
    frmCardView::setTwipsPerPixel(15);
}

void tst_FormatView::cleanup()
{
    grid.reset();
    frmCardView::setTwipsPerPixel(0);
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_FormatView::tableControlsAndCaptions()
{
    auto opened = whenOpen<frmTableview>([](frmTableview *dlg) {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Format Table View"));
        QStringList frames;
        for (QGroupBox *g : dlg->findChildren<QGroupBox *>())
            frames << g->title();
        QCOMPARE(frames, (QStringList{"Column headings", "Rows", "Grid Lines"}));
        QCOMPARE(box(dlg, "chkAutoColSize")->text(), QStringLiteral("Automatic column sizing"));
        QCOMPARE(box(dlg, "chknewrow")->text(), QStringLiteral("Show \"new item\" row"));
        QCOMPARE(box(dlg, "chkAllowed")->text(), QStringLiteral("Allow in-cell editing"));
        QCOMPARE(box(dlg, "chkgrouphead")->text(), QStringLiteral("Shade group headings"));
        QCOMPARE(child<QLabel>(dlg, QStringLiteral("lblGridlines"))->text(), QStringLiteral("Grid line style:"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdfont(0)"))->text(), QStringLiteral("Font..."));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdfont(1)"))->text(), QStringLiteral("Font..."));
        auto *lines = child<QComboBox>(dlg, QStringLiteral("cboGridlines"));
        QCOMPARE(texts(lines), (QStringList{"No grid lines", "Small Dots", "Dashes", "Solid"}));
        const QList<int> tags{-1, 2, 1, 0};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(lines->itemData(i).toInt(), tags.at(i));
        click(dlg, "cmdCancel");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
}

void tst_FormatView::tableReadsGrid_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("addNew");
    QTest::addColumn<bool>("newRowChecked");
    QTest::addColumn<bool>("newRowEnabled");

    QTest::newRow("editing with new-item row") << true << true << true << true;
    QTest::newRow("editing without new-item row") << true << false << false << true;
    QTest::newRow("no editing clears the new-item row") << false << true << false << false;
    QTest::newRow("neither") << false << false << false << false;
}

void tst_FormatView::tableReadsGrid()
{
    QFETCH(bool, edit);
    QFETCH(bool, addNew);
    QFETCH(bool, newRowChecked);
    QFETCH(bool, newRowEnabled);
    grid->setAllowEdit(edit);
    grid->setAllowAddNew(addNew);
    auto opened = whenOpen<frmTableview>([=](frmTableview *dlg) {
        QCOMPARE(box(dlg, "chkAllowed")->isChecked(), edit);
        QCOMPARE(box(dlg, "chknewrow")->isChecked(), newRowChecked);
        QCOMPARE(box(dlg, "chknewrow")->isEnabled(), newRowEnabled);
        click(dlg, "cmdCancel");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->allowAddNew(), addNew);
}

void tst_FormatView::tableOkRoundTrip_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("addNew");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("shaded");
    QTest::addColumn<bool>("autoSize");
    QTest::addColumn<QString>("entry");

    QTest::newRow("dashes, shaded, auto sizing") << true << true << -1 << 1 << true << true << "Dashes";
    QTest::newRow("mode 2 small dots") << false << false << 2 << 2 << false << false << "Small Dots";
    QTest::newRow("solid") << true << false << -1 << 0 << true << false << "Solid";
    QTest::newRow("no grid lines") << true << true << 0 << 0 << false << true << "No grid lines";
}

void tst_FormatView::tableOkRoundTrip()
{
    QFETCH(bool, edit);
    QFETCH(bool, addNew);
    QFETCH(int, mode);
    QFETCH(int, style);
    QFETCH(bool, shaded);
    QFETCH(bool, autoSize);
    QFETCH(QString, entry);
    grid->setAllowEdit(edit);
    grid->setAllowAddNew(addNew);
    grid->setGridLines(mode);
    grid->setGridLineStyle(style);
    grid->setGroupHeadingBackColor(shaded ? buttonFace() : windowBackground());
    grid->setColumnAutoResize(autoSize);
    const QFont heading = grid->headingFont();
    const QFont body = grid->bodyFont();

    auto opened = whenOpen<frmTableview>([=](frmTableview *dlg) {
        QCOMPARE(child<QComboBox>(dlg, QStringLiteral("cboGridlines"))->currentText(), entry);
        QCOMPARE(box(dlg, "chkgrouphead")->isChecked(), shaded);
        QCOMPARE(box(dlg, "chkAutoColSize")->isChecked(), autoSize);
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->allowEdit(), edit);
    QCOMPARE(grid->allowAddNew(), addNew && edit);
    QCOMPARE(grid->gridLines(), mode);
    QCOMPARE(grid->gridLineStyle(), style);
    QCOMPARE(grid->groupHeadingBackColor(), shaded ? buttonFace() : windowBackground());
    QCOMPARE(grid->columnAutoResize(), autoSize);
    QCOMPARE(grid->headingFont(), heading);
    QCOMPARE(grid->bodyFont(), body);
    QCOMPARE(grid->headingTextColor(), QColor(Qt::black));
    QCOMPARE(grid->bodyTextColor(), QColor(Qt::darkBlue));
}

void tst_FormatView::gridLinesModeZero()
{
    grid->setGridLines(0);
    grid->setGridLineStyle(1);
    auto opened = whenOpen<frmTableview>([](frmTableview *dlg) {
        QCOMPARE(child<QComboBox>(dlg, QStringLiteral("cboGridlines"))->currentText(),
                 QStringLiteral("No grid lines"));
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->gridLines(), 0);
    QCOMPARE(grid->gridLineStyle(), 1);
}

void tst_FormatView::gridLineStyleFromList_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("newMode");
    QTest::addColumn<int>("newStyle");

    QTest::newRow("solid from no lines") << 0 << "Solid" << -1 << 0;
    QTest::newRow("small dots keeps mode 2") << 2 << "Small Dots" << 2 << 2;
    QTest::newRow("dashes keeps mode -1") << -1 << "Dashes" << -1 << 1;
    QTest::newRow("no grid lines from mode 2") << 2 << "No grid lines" << 0 << 0;
}

void tst_FormatView::gridLineStyleFromList()
{
    QFETCH(int, mode);
    QFETCH(QString, entry);
    QFETCH(int, newMode);
    QFETCH(int, newStyle);
    grid->setGridLines(mode);
    grid->setGridLineStyle(0);
    auto opened = whenOpen<frmTableview>([=](frmTableview *dlg) {
        QVERIFY(choose(child<QComboBox>(dlg, QStringLiteral("cboGridlines")), entry));
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->gridLines(), newMode);
    QCOMPARE(grid->gridLineStyle(), newStyle);
}

void tst_FormatView::unknownLineStyleLeftAlone()
{
    grid->setGridLines(-1);
    grid->setGridLineStyle(7);
    if (grid->gridLineStyle() != 7)
        QSKIP("the grid refuses line styles outside 0..2");
    auto opened = whenOpen<frmTableview>([](frmTableview *dlg) {
        QCOMPARE(child<QComboBox>(dlg, QStringLiteral("cboGridlines"))->currentIndex(), -1);
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->gridLines(), -1);
    QCOMPARE(grid->gridLineStyle(), 7);
}

void tst_FormatView::editingGatesNewItemRow()
{
    grid->setAllowEdit(true);
    grid->setAllowAddNew(true);
    auto opened = whenOpen<frmTableview>([](frmTableview *dlg) {
        QTest::mouseClick(box(dlg, "chkAllowed"), Qt::LeftButton);
        QVERIFY(!box(dlg, "chkAllowed")->isChecked());
        QVERIFY(!box(dlg, "chknewrow")->isChecked());
        QVERIFY(!box(dlg, "chknewrow")->isEnabled());
        QTest::mouseClick(box(dlg, "chkAllowed"), Qt::LeftButton);
        QVERIFY(box(dlg, "chknewrow")->isEnabled());
        QVERIFY(!box(dlg, "chknewrow")->isChecked());
        QTest::mouseClick(box(dlg, "chkAllowed"), Qt::LeftButton);
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(!grid->allowEdit());
    QVERIFY(!grid->allowAddNew());
}

void tst_FormatView::shadeGroupHeadings_data()
{
    QTest::addColumn<bool>("shadedBefore");
    QTest::addColumn<QColor>("after");
    QTest::newRow("unshading writes the window background") << true << windowBackground();
    QTest::newRow("shading writes the button face") << false << buttonFace();
}

void tst_FormatView::shadeGroupHeadings()
{
    QFETCH(bool, shadedBefore);
    QFETCH(QColor, after);
    grid->setGroupHeadingBackColor(shadedBefore ? buttonFace() : QColor(Qt::yellow));
    auto opened = whenOpen<frmTableview>([=](frmTableview *dlg) {
        QCOMPARE(box(dlg, "chkgrouphead")->isChecked(), shadedBefore);
        QTest::mouseClick(box(dlg, "chkgrouphead"), Qt::LeftButton);
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->groupHeadingBackColor(), after);
}

void tst_FormatView::currentFontCaption_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<QString>("caption");
    QTest::newRow("8 pt. Tahoma") << 8.0 << "8 pt. Tahoma";
    QTest::newRow("8.5 halves to even") << 8.5 << "8 pt. Tahoma";
    QTest::newRow("9.5 halves to even") << 9.5 << "10 pt. Tahoma";
}

void tst_FormatView::currentFontCaption()
{
    QFETCH(double, size);
    QFETCH(QString, caption);
    grid->setHeadingFont(styled(QStringLiteral("Tahoma"), size, true, true, true));
    grid->setHeadingTextColor(Qt::red);
    auto opened = whenOpen<frmTableview>([=](frmTableview *dlg) {
        auto *label = child<QLabel>(dlg, QStringLiteral("lblcurrfont(0)"));
        QCOMPARE(label->text(), caption);
        QVERIFY(label->font().bold());
        QVERIFY(label->font().italic());
        QVERIFY(label->font().underline());
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(currentFont(dlg, 1), QStringLiteral("8 pt. Tahoma"));
        QVERIFY(!child<QLabel>(dlg, QStringLiteral("lblcurrfont(1)"))->font().bold());
        click(dlg, "cmdCancel");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
}

void tst_FormatView::fontChoiceThenOk()
{
    const QFont chosen = styled(installedFamily(), 12, false, true);
    auto opened = whenOpen<frmTableview>([=](frmTableview *dlg) {
        auto answered = answerFontDialogs(chosen, QColor(Qt::darkGreen));
        click(dlg, "cmdfont(1)");
        QVERIFY(*answered);
        QVERIFY(currentFont(dlg, 1).startsWith(QStringLiteral("12 pt. ")));
        QVERIFY(child<QLabel>(dlg, QStringLiteral("lblcurrfont(1)"))->font().italic());
        QCOMPARE(child<QLabel>(dlg, QStringLiteral("lblcurrfont(1)"))->palette().color(QPalette::WindowText),
                 QColor(Qt::darkGreen));
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->bodyFont().pointSizeF(), 12.0);
    QCOMPARE(grid->bodyFont().family(), installedFamily());
    QVERIFY(grid->bodyFont().italic());
    QCOMPARE(grid->bodyTextColor(), QColor(Qt::darkGreen));
    QCOMPARE(grid->headingTextColor(), QColor(Qt::black));
    QCOMPARE(grid->headingFont().pointSizeF(), 8.0);
}

void tst_FormatView::cancelAfterFontChange()
{
    grid->setColumnAutoResize(false);
    auto opened = whenOpen<frmTableview>([](frmTableview *dlg) {
        auto answered = answerFontDialogs(styled(installedFamily(), 14, false, true), QColor(Qt::red));
        click(dlg, "cmdfont(0)");
        QVERIFY(*answered);
        QCOMPARE(currentFont(dlg, 0), QStringLiteral("14 pt. ") + installedFamily());
        QTest::mouseClick(box(dlg, "chkAutoColSize"), Qt::LeftButton);
        click(dlg, "cmdCancel");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    // The font was changed on the grid's own font; colour and check boxes wait for OK.
    QCOMPARE(grid->headingFont().pointSizeF(), 14.0);
    QVERIFY(grid->headingFont().italic());
    QCOMPARE(grid->headingTextColor(), QColor(Qt::black));
    QVERIFY(!grid->columnAutoResize());
}

void tst_FormatView::fontDialogCancelChangesNothing()
{
    const QFont before = grid->headingFont();
    auto opened = whenOpen<frmTableview>([](frmTableview *dlg) {
        const QString caption = currentFont(dlg, 0);
        auto answered = answerFontDialogs(QFont(), QColor());
        click(dlg, "cmdfont(0)");
        QVERIFY(*answered);
        QCOMPARE(currentFont(dlg, 0), caption);
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->headingFont(), before);
    QCOMPARE(grid->headingTextColor(), QColor(Qt::black));
}

void tst_FormatView::colourDialogCancelKeepsColour()
{
    auto opened = whenOpen<frmTableview>([](frmTableview *dlg) {
        auto answered = answerFontDialogs(styled(installedFamily(), 10, true, false), QColor());
        click(dlg, "cmdfont(1)");
        QVERIFY(*answered);
        QCOMPARE(currentFont(dlg, 1), QStringLiteral("10 pt. ") + installedFamily());
        click(dlg, "cmdOK");
    });
    frmTableview::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->bodyFont().pointSizeF(), 10.0);
    QVERIFY(grid->bodyFont().bold());
    QCOMPARE(grid->bodyTextColor(), QColor(Qt::darkBlue));
}

void tst_FormatView::cardControlsAndCaptions()
{
    grid->setViewMode(1);
    auto opened = whenOpen<frmCardView>([](frmCardView *dlg) {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Format Card View"));
        QStringList frames;
        for (QGroupBox *g : dlg->findChildren<QGroupBox *>())
            frames << g->title();
        QCOMPARE(frames, (QStringList{"Card headings", "Card body", "Card settings"}));
        QCOMPARE(box(dlg, "chkAllowed")->text(), QStringLiteral("Allow in-cell editing"));
        QVERIFY(child<QLineEdit>(dlg, QStringLiteral("txtCardWidth")));
        QStringList labels;
        for (QLabel *l : dlg->findChildren<QLabel *>())
            labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("Card width:")));
        QVERIFY(labels.contains(QStringLiteral("pixels")));
        QCOMPARE(currentFont(dlg, 0), QStringLiteral("8 pt. Tahoma"));
        click(dlg, "cmdCancel");
    });
    frmCardView::FormatGrid(*grid);
    QVERIFY(*opened);
}

void tst_FormatView::cardWidthShownInPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<double>("perPixel");
    QTest::addColumn<QString>("shown");
    QTest::newRow("3000 twips at 15 per pixel") << 3000 << 15.0 << "200";
    QTest::newRow("3000 twips at 12 per pixel") << 3000 << 12.0 << "250";
    QTest::newRow("4500 twips at 15 per pixel") << 4500 << 15.0 << "300";
}

void tst_FormatView::cardWidthShownInPixels()
{
    QFETCH(int, twips);
    QFETCH(double, perPixel);
    QFETCH(QString, shown);
    frmCardView::setTwipsPerPixel(perPixel);
    grid->setCardWidth(twips);
    grid->setAllowEdit(true);
    auto opened = whenOpen<frmCardView>([=](frmCardView *dlg) {
        QCOMPARE(child<QLineEdit>(dlg, QStringLiteral("txtCardWidth"))->text(), shown);
        QVERIFY(box(dlg, "chkAllowed")->isChecked());
        click(dlg, "cmdOK");
    });
    frmCardView::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->cardWidth(), twips);
    QVERIFY(grid->allowEdit());
}

void tst_FormatView::cardWidthWrittenInTwips_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("twips");
    QTest::newRow("250 pixels") << "250" << 3750;
    QTest::newRow("a fraction rounds") << "100.4" << 1506;
    QTest::newRow("spaces around") << " 180 " << 2700;
}

void tst_FormatView::cardWidthWrittenInTwips()
{
    QFETCH(QString, typed);
    QFETCH(int, twips);
    grid->setCardWidth(3000);
    auto opened = whenOpen<frmCardView>([=](frmCardView *dlg) {
        auto *width = child<QLineEdit>(dlg, QStringLiteral("txtCardWidth"));
        width->selectAll();
        QTest::keyClicks(width, typed);
        QCOMPARE(width->text(), typed);
        click(dlg, "cmdOK");
    });
    frmCardView::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->cardWidth(), twips);
}

void tst_FormatView::cardWidthNotANumber()
{
    grid->setCardWidth(3000);
    grid->setAllowEdit(false);
    auto opened = whenOpen<frmCardView>([](frmCardView *dlg) {
        auto *width = child<QLineEdit>(dlg, QStringLiteral("txtCardWidth"));
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("wide"));
        QTest::mouseClick(box(dlg, "chkAllowed"), Qt::LeftButton);
        click(dlg, "cmdOK");
    });
    frmCardView::FormatGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(!QApplication::activeModalWidget());
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<QMessageBox *>(w));
    QCOMPARE(grid->cardWidth(), 3000);
    QVERIFY(grid->allowEdit());
}

void tst_FormatView::cardCancelAfterFontChange()
{
    grid->setViewMode(1);
    grid->setCardWidth(3000);
    auto opened = whenOpen<frmCardView>([](frmCardView *dlg) {
        auto answered = answerFontDialogs(styled(installedFamily(), 11, false, false, true), QColor(Qt::magenta));
        click(dlg, "cmdfont(1)");
        QVERIFY(*answered);
        QCOMPARE(currentFont(dlg, 1), QStringLiteral("11 pt. ") + installedFamily());
        auto *width = child<QLineEdit>(dlg, QStringLiteral("txtCardWidth"));
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("300"));
        click(dlg, "cmdCancel");
    });
    frmCardView::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->bodyFont().pointSizeF(), 11.0);
    QVERIFY(grid->bodyFont().underline());
    QCOMPARE(grid->bodyTextColor(), QColor(Qt::darkBlue));
    QCOMPARE(grid->cardWidth(), 3000);
}

void tst_FormatView::cardScreenTwipsPerPixel()
{
    frmCardView::setTwipsPerPixel(0);
    const QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QCOMPARE(frmCardView::twipsPerPixel(), 1440.0 / screen->logicalDotsPerInchX());
    frmCardView::setTwipsPerPixel(12);
    QCOMPARE(frmCardView::twipsPerPixel(), 12.0);

    // Without a fixed value the dialog converts with the grid's own screen.
    frmCardView::setTwipsPerPixel(0);
    grid->setCardWidth(2880);
    const QString expected = QString::number(2880 / grid->twipsPerPixel(), 'g', 15);
    auto opened = whenOpen<frmCardView>([=](frmCardView *dlg) {
        QCOMPARE(child<QLineEdit>(dlg, QStringLiteral("txtCardWidth"))->text(), expected);
        click(dlg, "cmdOK");
    });
    frmCardView::FormatGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->cardWidth(), 2880);
}

QTEST_MAIN(tst_FormatView)
#include "tst_formatview.moc"
