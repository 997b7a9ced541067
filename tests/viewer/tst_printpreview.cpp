#include "tst_frmmain_fixture.h"

#include "core/reportrequest.h"
#include "grid/reportgrid.h"
#include "viewer/frmMain.h"
#include "grid/gridprint.h"
#include "viewer/frmPrintPreview.h"
#include "viewer/previewpages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace velmora;

namespace {

// Answers the print dialog as a user would: the file name typed into the dialog's file field,
// optionally a choice of range, then Print.
class PrintDialogAnswer : public QObject {
public:
    explicit PrintDialogAnswer(std::function<void(QPrintDialog *)> answer) : m_answer(std::move(answer))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            if (!dialog || m_answered)
                return;
            m_answered = true;
            m_answer(dialog);
        });
        m_timer.start(10);
    }
    bool answered() const { return m_answered; }

private:
    QTimer m_timer;
    std::function<void(QPrintDialog *)> m_answer;
    bool m_answered = false;
};

void printToFile(QPrintDialog *dialog, const QString &file)
{
    auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
    QVERIFY(printers);
    // The last entry of the printer list is printing to a PDF file.
    printers->setCurrentIndex(printers->count() - 1);
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("filename"));
    QVERIFY(name);
    name->setText(file);
}

QString pdfText(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("pdftotext failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class tst_PrintPreview : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageStatusText_data();
    void pageStatusText();

    void printAllToPdfThroughTheDialog();
    void printSelectedItemsPrintsOnlyThem();
    void printSelectedButUserChoosesAll();
    void cancelledPrintDialogPrintsNothing();
    void cancelledLongPrintLeavesNoHalfFile_data();
    void cancelledLongPrintLeavesNoHalfFile();
    void unwritablePdfIsRefusedAndNothingIsPrinted();
    void printerSettingsSwitchedOnForPrinting();

    void previewShowsPagesAndHidesTheViewer();
    void lastPageOfALargeReportShowsTheLastRows();
    void previewStatusFollowsThePages();
    void previewTwoPagesSideBySide();
    void previewSelectedRowsOnlyFromTwo_data();
    void previewSelectedRowsOnlyFromTwo();
    void previewTakesTheViewerGeometryAndHandsItBack();
    void maximisedViewerOpensMaximisedPreviewAndStaysMaximised();
    void maximisingThePreviewMaximisesTheViewer();
    void previewClosesFromItsCloseButtonAndEsc_data();
    void previewClosesFromItsCloseButtonAndEsc();
    void previewFillsItsWindowAboveTheStatusLine();

private:
    frmPrintPreview *openPreview();

    QPointer<frmMain> viewer;
    std::unique_ptr<QTemporaryDir> dir;
    int pages = 0;
};

void tst_PrintPreview::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    request().ReportKey.clear();
    request().ReportTitle = QStringLiteral("Inventory Report");

    viewer = new frmMain;
    viewer->Jgrid->setTable(test::sampleTable(40));   // 320 rows: several pages
    // The page headers the load step sets.
    PrinterSettings &s = viewer->Jgrid->printerSettings();
    s.headerCenter = QStringLiteral("Main Street  Store#: 7");
    s.headerRight = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    viewer->setGeometry(100, 120, 700, 500);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->Jgrid->applyPageLayout(&viewer->printer());
    pages = viewer->Jgrid->pageCount(&viewer->printer(), false);
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
}

void tst_PrintPreview::cleanup()
{
    delete viewer.data();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qstrncmp(w->metaObject()->className(), "velmora::", 9) == 0)
            delete w;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    dir.reset();
}

frmPrintPreview *tst_PrintPreview::openPreview()
{
    viewer->findChild<QAction *>(QStringLiteral("mnuPrintPreview"))->trigger();
    frmPrintPreview *preview = viewer->printPreview();
    // A preview that never shows is caught by the callers' checks of its state.
    if (preview && !QTest::qWaitForWindowExposed(preview))
        qWarning("the print preview was not exposed");
    return preview;
}

void tst_PrintPreview::pageStatusText_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("facing");
    QTest::addColumn<QString>("text");
    QTest::newRow("one page view") << 3 << 5 << false << "Page 3 of 5";
    QTest::newRow("two pages side by side") << 1 << 5 << true << "Page 1 - 2 of 5";
    QTest::newRow("two pages, the last pair") << 4 << 5 << true << "Page 4 - 5 of 5";
    QTest::newRow("two pages on the last page") << 5 << 5 << true << "Page 5 of 5";
    QTest::newRow("a single page document") << 1 << 1 << true << "Page 1 of 1";
}

void tst_PrintPreview::pageStatusText()
{
    QFETCH(int, current);
    QFETCH(int, count);
    QFETCH(bool, facing);
    QFETCH(QString, text);
    QCOMPARE(previewPageStatus(current, count, facing), text);
}

void tst_PrintPreview::printAllToPdfThroughTheDialog()
{
    const QString file = dir->filePath(QStringLiteral("all.pdf"));
    {
        // An earlier report of that name is replaced.
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an earlier report") > 0);
    }
    PrintDialogAnswer answer([&file](QPrintDialog *d) {
        printToFile(d, file);
        d->accept();
    });
    viewer->findChild<QAction *>(QStringLiteral("mnuPrint(0)"))->trigger();
    QVERIFY(answer.answered());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("all.pdf")});
    QCOMPARE(viewer->statusText(), QString());

    const QString text = pdfText(file);
    const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pageTexts.size(), pages);
    for (int n = 1; n <= pages; ++n) {
        const QString &page = pageTexts[n - 1];
        QVERIFY2(page.contains(QLatin1String("Inventory Report")), qPrintable(page.left(300)));
        QVERIFY2(page.contains(QLatin1String("Store#: 7")), qPrintable(page.left(300)));
        QVERIFY(page.contains(QLatin1String("Main Street")));
        QVERIFY(page.contains(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)));
        QVERIFY2(page.contains(QStringLiteral("Page %1 of %2").arg(n).arg(pages)), qPrintable(page.right(300)));
    }
    QVERIFY(pageTexts.first().contains(QLatin1String("Alpha TV")));
    QVERIFY(text.contains(QLatin1String("Foxtrot PC #39")));
}

void tst_PrintPreview::printSelectedItemsPrintsOnlyThem()
{
    viewer->Jgrid->selectRows({2, 5});
    const QString file = dir->filePath(QStringLiteral("selected.pdf"));
    PrintDialogAnswer answer([&file](QPrintDialog *d) {
        printToFile(d, file);
        d->accept();
    });
    viewer->findChild<QAction *>(QStringLiteral("mnuPrint(1)"))->trigger();
    QVERIFY(answer.answered());
    const QString text = pdfText(file);
    QVERIFY2(text.contains(QLatin1String("Bravo Sound")), qPrintable(text));
    QVERIFY(text.contains(QLatin1String("Delta Fridge")));
    QVERIFY(!text.contains(QLatin1String("Charlie Lamp")));
    QVERIFY(!text.contains(QLatin1String("Alpha TV")));
    QVERIFY(text.contains(QLatin1String("Page 1 of 1")));
    QVERIFY(text.contains(QLatin1String("Inventory Report")));
}

void tst_PrintPreview::printSelectedButUserChoosesAll()
{
    viewer->Jgrid->selectRows({2, 5});
    const QString file = dir->filePath(QStringLiteral("chosen-all.pdf"));
    PrintDialogAnswer answer([&file](QPrintDialog *d) {
        printToFile(d, file);
        auto *all = d->findChild<QRadioButton *>(QStringLiteral("printAll"));
        QVERIFY(all);
        all->setChecked(true);
        d->accept();
    });
    viewer->findChild<QAction *>(QStringLiteral("mnuPrint(1)"))->trigger();
    QVERIFY(answer.answered());
    const QString text = pdfText(file);
    QVERIFY(text.contains(QLatin1String("Charlie Lamp")));
    QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(pages)));
}

void tst_PrintPreview::cancelledPrintDialogPrintsNothing()
{
    const QString file = dir->filePath(QStringLiteral("cancelled.pdf"));
    PrintDialogAnswer answer([&file](QPrintDialog *d) {
        printToFile(d, file);
        d->reject();
    });
    viewer->findChild<QAction *>(QStringLiteral("mnuPrint(0)"))->trigger();
    QVERIFY(answer.answered());
    QVERIFY(!QFile::exists(file));
    QCOMPARE(viewer->statusText(), QString());
}

void tst_PrintPreview::cancelledLongPrintLeavesNoHalfFile_data()
{
    QTest::addColumn<QByteArray>("before");   // the file's content before the print; empty: none
    QTest::newRow("new file") << QByteArray();
    QTest::newRow("file already there keeps its content") << QByteArrayLiteral("an earlier report");
}

void tst_PrintPreview::cancelledLongPrintLeavesNoHalfFile()
{
    QFETCH(QByteArray, before);
    viewer->Jgrid->setTable(test::sampleTable(12500));   // 100,000 rows: a job of seconds
    const QString file = dir->filePath(QStringLiteral("long.pdf"));
    if (!before.isEmpty()) {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(before);
    }
    PrintDialogAnswer answer([&file](QPrintDialog *d) {
        printToFile(d, file);
        d->accept();
    });
    QString said;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        auto *progress = viewer->findChild<QProgressDialog *>(QStringLiteral("frmPrintProgress"));
        if (!progress || !progress->isVisible() || !said.isEmpty())
            return;
        said = progress->labelText();
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
    });
    user.start(20);
    viewer->findChild<QAction *>(QStringLiteral("mnuPrint(0)"))->trigger();
    QVERIFY(answer.answered());
    QVERIFY2(said.contains(QRegularExpression(QStringLiteral("^Printing page \\d+ of 2000$"))), qPrintable(said));
    QCOMPARE(QFile::exists(file), !before.isEmpty());
    if (!before.isEmpty()) {
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
    }
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), before.isEmpty() ? QStringList() : QStringList{QStringLiteral("long.pdf")});
    QVERIFY2(viewer->statusText().contains(QLatin1String("cancelled")), qPrintable(viewer->statusText()));
}

void tst_PrintPreview::unwritablePdfIsRefusedAndNothingIsPrinted()
{
    const QString file = dir->filePath(QStringLiteral("no-such-folder/out.pdf"));
    QString warning;
    PrintDialogAnswer answer([&file, &warning](QPrintDialog *d) {
        printToFile(d, file);
        // The dialog refuses a file it cannot write with a message; the user then gives up.
        QTimer::singleShot(0, d, [d, &warning] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box) {
                warning = box->text();
                box->accept();
            }
            d->reject();
        });
        d->accept();
    });
    viewer->findChild<QAction *>(QStringLiteral("mnuPrint(0)"))->trigger();
    QVERIFY(answer.answered());
    QVERIFY(!QFile::exists(file));
    QVERIFY2(warning.contains(QLatin1String("out.pdf")) || viewer->statusText().contains(QLatin1String("out.pdf")),
             qPrintable(warning + QLatin1Char('|') + viewer->statusText()));
    QVERIFY(viewer->isVisible());
}

void tst_PrintPreview::printerSettingsSwitchedOnForPrinting()
{
    PrinterSettings &s = viewer->Jgrid->printerSettings();
    s.repeatHeaders = false;
    s.headerLeft = QStringLiteral("old title");
    const QString file = dir->filePath(QStringLiteral("settings.pdf"));
    PrintDialogAnswer answer([&file](QPrintDialog *d) {
        printToFile(d, file);
        d->accept();
    });
    viewer->findChild<QAction *>(QStringLiteral("mnuPrint(0)"))->trigger();
    QVERIFY(s.repeatHeaders);
    QCOMPARE(s.headerLeft, QStringLiteral("Inventory Report"));
    QCOMPARE(s.footerRight, QStringLiteral("Page %1 of %1").arg(pages));
    // Headers repeat: every page shows the column captions.
    const QStringList pageTexts = pdfText(file).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pageTexts.size(), pages);
    for (const QString &page : pageTexts)
        QVERIFY(page.contains(QLatin1String("model")) && page.contains(QLatin1String("daterec")));
}

void tst_PrintPreview::previewShowsPagesAndHidesTheViewer()
{
    frmPrintPreview *preview = openPreview();
    QVERIFY(preview);
    QCOMPARE(preview->objectName(), QStringLiteral("frmPrintPreview"));
    QCOMPARE(preview->GEXPreview1->objectName(), QStringLiteral("GEXPreview1"));
    QCOMPARE(preview->stbPreview->objectName(), QStringLiteral("stbPreview"));
    QVERIFY(preview->isVisible());
    QVERIFY(!viewer->isVisible());
    QTRY_COMPARE(preview->GEXPreview1->pageCount(), pages);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(pages));
    QCOMPARE(viewer->Jgrid->printerSettings().headerLeft, QStringLiteral("Inventory Report"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void tst_PrintPreview::lastPageOfALargeReportShowsTheLastRows()
{
    viewer->Jgrid->setTable(test::sampleTable(12500));   // 100,000 rows
    frmPrintPreview *preview = openPreview();
    QVERIFY(preview);
    PreviewPages *view = preview->GEXPreview1;
    const int count = view->pageCount();
    QVERIFY2(count > 1000, qPrintable(QString::number(count)));
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(count));
    QTest::mouseClick(preview->findChild<QToolButton *>(QStringLiteral("cmdLastPage")), Qt::LeftButton);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page %1 of %1").arg(count));
    const auto [first, last] = view->pages()->rowsOn(count);
    QCOMPARE(last, viewer->Jgrid->rowCount());
    // What the view paints for that page, written out as a sheet and read by pdftotext: the
    // page's own rows, not the page before's.
    QPrinter sheet(QPrinter::HighResolution);
    sheet.setOutputFormat(QPrinter::PdfFormat);
    sheet.setPageLayout(viewer->printer().pageLayout());
    sheet.setOutputFileName(dir->filePath(QStringLiteral("last.pdf")));
    {
        QPainter p(&sheet);
        view->pages()->paint(p, count);
    }
    const QString text = pdfText(sheet.outputFileName());
    const auto model = [this](int pos) {
        return QRegularExpression(QRegularExpression::escape(viewer->Jgrid->text(pos, 1)) + QStringLiteral("\\b"));
    };
    QVERIFY2(text.contains(model(last)) && text.contains(model(first)), qPrintable(text));
    QVERIFY2(!text.contains(model(first - 1)), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(count)));
    // The last page is painted when it is seen, and then only a window's worth is kept.
    QTRY_VERIFY(view->cachedPages() >= 1);
    QVERIFY(view->cachedPages() <= 4);
    QImage shot(view->viewport()->size(), QImage::Format_RGB32);
    view->viewport()->render(&shot);
    QCOMPARE(shot.pixelColor(shot.width() / 2, 20 + 12), QColor(Qt::white));   // a sheet at the top
}

void tst_PrintPreview::previewStatusFollowsThePages()
{
    frmPrintPreview *preview = openPreview();
    QTRY_COMPARE(preview->GEXPreview1->pageCount(), pages);
    QTest::keyClick(preview->GEXPreview1, Qt::Key_PageDown);   // where the keyboard is
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 2 of %1").arg(pages));
    auto *lastButton = preview->findChild<QToolButton *>(QStringLiteral("cmdLastPage"));
    QTest::mouseClick(lastButton, Qt::LeftButton);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page %1 of %1").arg(pages));
    QTest::mouseClick(preview->findChild<QToolButton *>(QStringLiteral("cmdFirstPage")), Qt::LeftButton);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(pages));
    QTest::mouseClick(preview->findChild<QToolButton *>(QStringLiteral("cmdNextPage")), Qt::LeftButton);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 2 of %1").arg(pages));
    QTest::mouseClick(preview->findChild<QToolButton *>(QStringLiteral("cmdPreviousPage")), Qt::LeftButton);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(pages));
    // Nothing before the first page.
    QTest::keyClick(preview, Qt::Key_PageUp);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(pages));
    QCOMPARE(preview->GEXPreview1->currentPage(), 1);
}

void tst_PrintPreview::previewTwoPagesSideBySide()
{
    frmPrintPreview *preview = openPreview();
    QTRY_COMPARE(preview->GEXPreview1->pageCount(), pages);
    QTest::mouseClick(preview->findChild<QToolButton *>(QStringLiteral("cmdTwoPages")), Qt::LeftButton);
    QCOMPARE(preview->GEXPreview1->viewMode(), PreviewPages::FacingPagesView);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 - 2 of %1").arg(pages));
    QTest::keyClick(preview, Qt::Key_End);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page %1 of %1").arg(pages));
    QTest::keyClick(preview, Qt::Key_Home);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 - 2 of %1").arg(pages));
}

void tst_PrintPreview::previewSelectedRowsOnlyFromTwo_data()
{
    QTest::addColumn<std::vector<int>>("selected");
    QTest::addColumn<bool>("onlySelected");
    QTest::newRow("no selection previews everything") << std::vector<int>{} << false;
    QTest::newRow("one selected row previews everything") << std::vector<int>{3} << false;
    QTest::newRow("two selected rows preview only them") << std::vector<int>{3, 4} << true;
}

void tst_PrintPreview::previewSelectedRowsOnlyFromTwo()
{
    QFETCH(std::vector<int>, selected);
    QFETCH(bool, onlySelected);
    viewer->Jgrid->selectRows(selected);
    QCOMPARE(viewer->Jgrid->selectedCount(), int(selected.size()));
    frmPrintPreview *preview = openPreview();
    const int expected = onlySelected ? 1 : pages;
    QTRY_COMPARE(preview->GEXPreview1->pageCount(), expected);
    QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(expected));
}

void tst_PrintPreview::previewTakesTheViewerGeometryAndHandsItBack()
{
    const QRect start = viewer->geometry();
    frmPrintPreview *preview = openPreview();
    QCOMPARE(preview->geometry(), start);
    QVERIFY(!preview->isMaximized());

    const QRect moved(40, 50, 820, 560);
    preview->setGeometry(moved);
    QTRY_COMPARE(preview->geometry(), moved);
    preview->close();
    QTRY_VERIFY(viewer->isVisible());
    QCOMPARE(viewer->geometry(), moved);
    QVERIFY(!viewer->isMaximized());
    QTRY_COMPARE(viewer->printPreview(), nullptr);
}

void tst_PrintPreview::maximisedViewerOpensMaximisedPreviewAndStaysMaximised()
{
    viewer->showMaximized();
    QTRY_VERIFY(viewer->isMaximized());
    frmPrintPreview *preview = openPreview();
    QTRY_VERIFY(preview->isMaximized());
    QVERIFY(!viewer->isVisible());
    preview->close();
    QTRY_VERIFY(viewer->isVisible());
    QVERIFY(viewer->isMaximized());
}

void tst_PrintPreview::maximisingThePreviewMaximisesTheViewer()
{
    frmPrintPreview *preview = openPreview();
    preview->showMaximized();
    QTRY_VERIFY(preview->isMaximized());
    preview->close();
    QTRY_VERIFY(viewer->isVisible());
    QVERIFY(viewer->isMaximized());
}

void tst_PrintPreview::previewClosesFromItsCloseButtonAndEsc_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Close button") << false;
    QTest::newRow("Esc key") << true;
}

void tst_PrintPreview::previewClosesFromItsCloseButtonAndEsc()
{
    QFETCH(bool, byKey);
    QPointer<frmPrintPreview> preview = openPreview();
    if (byKey)
        QTest::keyClick(preview.data(), Qt::Key_Escape);
    else
        QTest::mouseClick(preview->findChild<QToolButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
    QTRY_VERIFY(preview.isNull());
    QVERIFY(viewer->isVisible());
}

void tst_PrintPreview::previewFillsItsWindowAboveTheStatusLine()
{
    frmPrintPreview *preview = openPreview();
    preview->resize(640, 480);
    QTRY_COMPARE(preview->size(), QSize(640, 480));
    const int statusHeight = preview->stbPreview->height();
    QVERIFY(statusHeight > 0);
    QCOMPARE(preview->GEXPreview1->geometry(), QRect(0, 0, 640, 480 - statusHeight));
    QCOMPARE(preview->stbPreview->geometry().top(), 480 - statusHeight);
}

QTEST_MAIN(tst_PrintPreview)
#include "tst_printpreview.moc"
