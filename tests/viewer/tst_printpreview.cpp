// Printing and the print preview as a user reaches them from the viewer's File menu; what is
// printed is read back by pdftotext.

#include "viewertesting.h"

#include "common/tools.h"

#include "grid/gridprint.h"
#include "viewer/frmPrintPreview.h"
#include "viewer/previewpages.h"

#include <QPrintDialog>
#include <QPrinter>

using namespace velmora;

namespace {

// Answers the print dialog as a user would: the PDF file named in the dialog's own fields, then
// `then` (accept by default).
test::ModalScript::Action toPdf(const QString &file, std::function<void(QPrintDialog *)> then = &QPrintDialog::accept)
{
    return [file, then](QWidget *w) {
        auto *dialog = qobject_cast<QPrintDialog *>(w);
        QVERIFY(dialog);
        // The last entry of the printer list is printing to a PDF file.
        auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
        printers->setCurrentIndex(printers->count() - 1);
        dialog->findChild<QLineEdit *>(QStringLiteral("filename"))->setText(file);
        then(dialog);
    };
}

QString pdfText(const QString &file)
{
    const test::ToolResult r = test::runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    return r.exitCode == 0 ? r.output : QStringLiteral("pdftotext failed: ") + r.output;
}

} // namespace

class tst_PrintPreview : public QObject {
    Q_OBJECT

    QPointer<frmMain> viewer;
    std::unique_ptr<QTemporaryDir> dir;
    int pages = 0;

    void print(int entry) { viewer->findChild<QAction *>(QStringLiteral("mnuPrint(%1)").arg(entry))->trigger(); }
    frmPrintPreview *openPreview()
    {
        viewer->findChild<QAction *>(QStringLiteral("mnuPrintPreview"))->trigger();
        frmPrintPreview *preview = viewer->printPreview();
        // A preview that never shows is caught by the callers' checks of its state.
        if (preview)
            (void)QTest::qWaitForWindowExposed(preview);
        return preview;
    }
    void clickTool(frmPrintPreview *preview, const char *name)
    {
        QTest::mouseClick(preview->findChild<QToolButton *>(QLatin1String(name)), Qt::LeftButton);
    }

private slots:
    void init()
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

    void cleanup()
    {
        test::closeEveryWindow(viewer);
        dir.reset();
    }

    void printThroughTheDialog_data()
    {
        QTest::addColumn<int>("entry");              // Print... (0) or Print Selected Items... (1)
        QTest::addColumn<QString>("answer");         // Print, "all" (chooses all first) or Cancel
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("left");       // rows not printed
        QTest::addColumn<bool>("onePage");
        QTest::newRow("everything, over an earlier file")
            << 0 << "print" << QStringList{"Alpha TV", "Foxtrot PC #39"} << QStringList{} << false;
        QTest::newRow("selected items only") << 1 << "print" << QStringList{"Bravo Sound", "Delta Fridge"}
                                             << QStringList{"Charlie Lamp", "Alpha TV"} << true;
        QTest::newRow("selected items, but the user chooses all")
            << 1 << "all" << QStringList{"Charlie Lamp"} << QStringList{} << false;
        QTest::newRow("cancelled prints nothing") << 0 << "cancel" << QStringList{} << QStringList{} << false;
    }
    void printThroughTheDialog()
    {
        QFETCH(int, entry);
        QFETCH(QString, answer);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, left);
        QFETCH(bool, onePage);
        viewer->Jgrid->selectRows({2, 5});
        PrinterSettings &s = viewer->Jgrid->printerSettings();
        s.repeatHeaders = false;
        s.headerLeft = QStringLiteral("old title");
        const QString file = dir->filePath(QStringLiteral("out.pdf"));
        // An earlier report of that name is replaced.
        QVERIFY(entry != 0 || answer != u"print" || test::writeAll(file, "an earlier report"));
        test::ModalScript dialog({toPdf(file, [&answer](QPrintDialog *d) {
                                      if (answer == u"all")
                                          d->findChild<QRadioButton *>(QStringLiteral("printAll"))->setChecked(true);
                                      answer == u"cancel" ? d->reject() : d->accept();
                                  }),
                                  [](QWidget *) {}});
        print(entry);
        QCOMPARE(dialog.seen.value(0), QStringLiteral("QPrintDialog"));
        QCOMPARE(viewer->statusText(), QString());
        QVERIFY(s.repeatHeaders);
        QCOMPARE(s.headerLeft, QStringLiteral("Inventory Report"));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), answer == u"cancel" ? QStringList() : QStringList{"out.pdf"});
        if (answer == u"cancel")
            return;
        const QString text = pdfText(file);
        const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        const int count = onePage ? 1 : pages;
        QCOMPARE(pageTexts.size(), count);
        for (int n = 1; n <= count; ++n) {
            // The headers repeat: every page has the report's lines and the column captions.
            const QString &page = pageTexts[n - 1];
            for (const QString &part : {QStringLiteral("Inventory Report"), QStringLiteral("Main Street"), QStringLiteral("Store#: 7"),
                                        QLocale().toString(QDate::currentDate(), QLocale::ShortFormat),
                                        QStringLiteral("Page %1 of %2").arg(n).arg(count), QStringLiteral("model"),
                                        QStringLiteral("daterec")})
                QVERIFY2(page.contains(part), qPrintable(part + QStringLiteral(" not in:\n") + page));
        }
        for (const QString &model : shown + left)
            QVERIFY2(text.contains(model) == shown.contains(model), qPrintable(model));
    }

    void cancelledLongPrintLeavesNoHalfFile_data()
    {
        QTest::addColumn<QByteArray>("before");   // the file's content before the print; empty: none
        QTest::newRow("new file") << QByteArray();
        QTest::newRow("file already there keeps its content") << QByteArrayLiteral("an earlier report");
    }
    void cancelledLongPrintLeavesNoHalfFile()
    {
        QFETCH(QByteArray, before);
        viewer->Jgrid->setTable(test::sampleTable(12500));   // 100,000 rows: a job of seconds
        const QString file = dir->filePath(QStringLiteral("long.pdf"));
        QVERIFY(before.isEmpty() || test::writeAll(file, before));
        QString said;
        test::ModalScript user({toPdf(file), [&said](QWidget *w) {
                                    auto *progress = qobject_cast<QProgressDialog *>(w);
                                    if (!progress || !said.isEmpty())
                                        return;
                                    said = progress->labelText();
                                    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
                                }});
        print(0);
        QCOMPARE(user.seen.value(1), QStringLiteral("QProgressDialog"));
        QVERIFY2(said.contains(QRegularExpression(QStringLiteral("^Printing page \\d+ of 2000$"))), qPrintable(said));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), before.isEmpty() ? QStringList() : QStringList{"long.pdf"});
        QCOMPARE(test::readAll(file), before.isEmpty() ? QByteArray("<missing>") : before);
        QVERIFY2(viewer->statusText().contains(QLatin1String("cancelled")), qPrintable(viewer->statusText()));
    }

    void unwritablePdfIsRefusedAndNothingIsPrinted()
    {
        const QString file = dir->filePath(QStringLiteral("no-such-folder/out.pdf"));
        // The dialog may refuse a file it cannot write with a message; the user then gives up.
        test::ModalScript user({toPdf(file), test::pressButton(QMessageBox::Ok)});
        print(0);
        QCOMPARE(user.seen.value(0), QStringLiteral("QPrintDialog"));
        QVERIFY(!QFile::exists(file));
        const QString said = user.seen.join(u'|') + u'|' + viewer->statusText();
        QVERIFY2(said.contains(QLatin1String("out.pdf")), qPrintable(said));
        QVERIFY(viewer->isVisible());
    }

    void previewPagesFollowTheButtonsAndKeys()
    {
        frmPrintPreview *preview = openPreview();
        QVERIFY(preview);
        QVERIFY(preview->isVisible() && !viewer->isVisible());
        QCOMPARE(viewer->Jgrid->printerSettings().headerLeft, QStringLiteral("Inventory Report"));
        QTRY_COMPARE(preview->GEXPreview1->pageCount(), pages);
        const auto status = [&](const QString &shown) { return shown.arg(pages); };
        QTRY_COMPARE(preview->statusText(), status(QStringLiteral("Page 1 of %1")));
        QTest::keyClick(preview->GEXPreview1, Qt::Key_PageDown);   // where the keyboard is
        QTRY_COMPARE(preview->statusText(), status(QStringLiteral("Page 2 of %1")));
        // The buttons, and the keys of the window, one after another: "status after it".
        const QStringList steps{"cmdLastPage|Page %1 of %1", "cmdFirstPage|Page 1 of %1", "cmdNextPage|Page 2 of %1",
                                "cmdPreviousPage|Page 1 of %1", "PageUp|Page 1 of %1", "cmdTwoPages|Page 1 - 2 of %1",
                                "End|Page %1 of %1", "Home|Page 1 - 2 of %1"};
        for (const QString &step : steps) {
            const QString what = step.section(u'|', 0, 0);
            if (what.startsWith(u"cmd"))
                clickTool(preview, qPrintable(what));
            else
                QTest::keyClick(preview, what == u"End" ? Qt::Key_End : what == u"Home" ? Qt::Key_Home : Qt::Key_PageUp);
            QTRY_COMPARE(preview->statusText(), status(step.section(u'|', 1)));
        }
        QCOMPARE(preview->GEXPreview1->viewMode(), PreviewPages::FacingPagesView);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // The pages fill the window above the status line.
        preview->resize(640, 480);
        QTRY_COMPARE(preview->size(), QSize(640, 480));
        const int statusHeight = preview->stbPreview->height();
        QVERIFY(statusHeight > 0);
        QCOMPARE(preview->GEXPreview1->geometry(), QRect(0, 0, 640, 480 - statusHeight));
        QCOMPARE(preview->stbPreview->geometry().top(), 480 - statusHeight);
    }

    void lastPageOfALargeReportShowsTheLastRows()
    {
        viewer->Jgrid->setTable(test::sampleTable(12500));   // 100,000 rows
        frmPrintPreview *preview = openPreview();
        QVERIFY(preview);
        PreviewPages *view = preview->GEXPreview1;
        const int count = view->pageCount();
        QVERIFY2(count > 1000, qPrintable(QString::number(count)));
        QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(count));
        clickTool(preview, "cmdLastPage");
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

    void previewWindowAndTheViewer_data()
    {
        QTest::addColumn<bool>("viewerMaximised");
        QTest::addColumn<QString>("user");   // what the user does to the preview before closing it
        QTest::addColumn<QString>("close");  // by its Close button or Esc
        QTest::addColumn<std::vector<int>>("selected");   // from two selected rows, only they are previewed
        QTest::newRow("takes the viewer's place and hands the moved place back, one selected row")
            << false << "move" << "button" << std::vector<int>{3};
        QTest::newRow("maximised viewer, maximised preview, viewer stays maximised, two selected rows")
            << true << "" << "Esc" << std::vector<int>{3, 4};
        QTest::newRow("maximising the preview maximises the viewer") << false << "maximise" << "button" << std::vector<int>{};
    }
    void previewWindowAndTheViewer()
    {
        QFETCH(bool, viewerMaximised);
        QFETCH(QString, user);
        QFETCH(QString, close);
        QFETCH(std::vector<int>, selected);
        viewer->Jgrid->selectRows(selected);
        if (viewerMaximised)
            viewer->showMaximized();
        QTRY_COMPARE(viewer->isMaximized(), viewerMaximised);
        const QRect start = viewer->geometry();
        QPointer<frmPrintPreview> preview = openPreview();
        QTRY_COMPARE(preview->isMaximized(), viewerMaximised);
        QTRY_COMPARE(preview->statusText(), QStringLiteral("Page 1 of %1").arg(selected.size() > 1 ? 1 : pages));
        if (!viewerMaximised)
            QCOMPARE(preview->geometry(), start);
        const QRect moved(40, 50, 820, 560);
        if (user == u"move") {
            preview->setGeometry(moved);
            QTRY_COMPARE(preview->geometry(), moved);
        } else if (user == u"maximise") {
            preview->showMaximized();
            QTRY_VERIFY(preview->isMaximized());
        }
        if (close == u"Esc")
            QTest::keyClick(preview.data(), Qt::Key_Escape);
        else
            clickTool(preview, "cmdClose");
        QTRY_VERIFY(preview.isNull() && viewer->isVisible());
        QCOMPARE(viewer->isMaximized(), viewerMaximised || user == u"maximise");
        if (user == u"move")
            QCOMPARE(viewer->geometry(), moved);
        QCOMPARE(viewer->printPreview(), nullptr);
    }
};

QTEST_MAIN(tst_PrintPreview)
#include "tst_printpreview.moc"
