// The command bar alone: which key runs which command, clicks, tooltips and its pictures.

#include "viewer/commandbar.h"
#include "viewer/icons/viewericons.h"

#include <QtTest>
#include <QtWidgets>

#include <set>

using namespace velmora;

Q_DECLARE_METATYPE(velmora::BarCommand)

class tst_CommandBar : public QObject {
    Q_OBJECT
    CommandBar *bar = nullptr;

private slots:
    void init()
    {
        bar = new CommandBar;
        bar->addPanel(QIcon(), QString(), QString());
        for (const char *key : {"Open", "Print"})
            bar->addPanel(viewerIcon(QLatin1String(key)), QLatin1String(key), QLatin1String(key));
        bar->addPanel(QIcon(), QString(), QString());
        bar->addPanel(viewerIcon(QStringLiteral("Views")), QStringLiteral("Turn on/off Card view"), QStringLiteral("Views"));
        bar->resize(bar->sizeHint());
        bar->show();
        QVERIFY(QTest::qWaitForWindowExposed(bar));
    }
    void cleanup() { delete bar; }

    void commandForKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<BarCommand>("command");
        // Every key as the viewer's panels carry it, a key in capitals, Edit and a spacer's empty tag
        // are run by the viewer's tests; here the other spellings.
        QTest::newRow("lower case key still matches") << "printpreview" << BarCommand::PrintPreview;
        QTest::newRow("mixed case move key") << "mOVEnEXT" << BarCommand::MoveNext;
        QTest::newRow("trailing blank is another key") << "Print " << BarCommand::None;
        QTest::newRow("a prefix of a key is no key") << "Export" << BarCommand::None;
    }
    void commandForKey()
    {
        QFETCH(QString, key);
        QFETCH(BarCommand, command);
        QCOMPARE(barCommand(key), command);
    }

    void pressedPanelLooksDifferentFromRaised()
    {
        const QRect r = bar->panelRect(5);
        const QImage raised = bar->grab(r).toImage();
        bar->setAppearance(5, 10);
        QVERIFY(bar->grab(r).toImage() != raised);
        bar->setAppearance(5, 5);
        QCOMPARE(bar->grab(r).toImage(), raised);
        // Panels that are not there keep no appearance.
        bar->setAppearance(0, 10);
        bar->setAppearance(6, 10);
        QCOMPARE((QList<int>{bar->appearance(0), bar->appearance(1), bar->appearance(5), bar->appearance(6)}),
                 (QList<int>{0, 5, 5, 0}));
    }

    void click_data()
    {
        QTest::addColumn<int>("pressed");    // panel, or 0 for a point right of every panel
        QTest::addColumn<int>("released");
        QTest::addColumn<bool>("right");     // the right mouse button
        QTest::addColumn<int>("clicked");    // the panel reported, 0 for none
        QTest::newRow("leading spacer") << 1 << 1 << false << 1;
        QTest::newRow("last picture") << 5 << 5 << false << 5;
        QTest::newRow("released over another panel") << 2 << 3 << false << 0;
        QTest::newRow("outside every panel") << 0 << 0 << false << 0;
        QTest::newRow("right button") << 2 << 2 << true << 0;
    }
    void click()
    {
        QFETCH(int, pressed);
        QFETCH(int, released);
        QFETCH(bool, right);
        QFETCH(int, clicked);
        QSignalSpy spy(bar, &CommandBar::panelClicked);
        const auto at = [this](int panel) { return panel ? bar->panelRect(panel).center() : QPoint(bar->width() + 5, 0); };
        const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
        QTest::mousePress(bar, button, {}, at(pressed));
        QTest::mouseRelease(bar, button, {}, at(released));
        QCOMPARE(spy.count() == 1 ? spy.at(0).at(0).toInt() : -spy.count(), clicked);
    }

    void tooltipShowsThePanelText()
    {
        const QPoint pos = bar->panelRect(3).center();
        QHelpEvent help(QEvent::ToolTip, pos, bar->mapToGlobal(pos));
        QApplication::sendEvent(bar, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Print"));
        QToolTip::hideText();
        // A spacer has no tooltip.
        const QPoint spacer = bar->panelRect(4).center();
        QHelpEvent none(QEvent::ToolTip, spacer, bar->mapToGlobal(spacer));
        QApplication::sendEvent(bar, &none);
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    void picturesAreDrawnAt16And24PixelsAndHighDensity_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("16 px") << 16 << 1.0;
        QTest::newRow("24 px at ratio 2") << 24 << 2.0;   // the sizes between draw the same way
    }
    void picturesAreDrawnAt16And24PixelsAndHighDensity()
    {
        QFETCH(int, size);
        QFETCH(qreal, ratio);
        std::set<QByteArray> seen;
        for (const QString &key : viewerIconKeys()) {
            const QPixmap pm = viewerIcon(key).pixmap(QSize(size, size), ratio);
            QCOMPARE(pm.size(), QSize(size, size) * ratio);
            const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
            // Legible means: a fair share of the square is drawn, and not all of it; and no two alike.
            int opaque = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    opaque += qAlpha(img.pixel(x, y)) > 128;
            const double share = double(opaque) / (img.width() * img.height());
            QVERIFY2(share > 0.08 && share < 0.95, qPrintable(key + QStringLiteral(" %1").arg(share)));
            QVERIFY2(seen.insert(QByteArray(reinterpret_cast<const char *>(img.constBits()), int(img.sizeInBytes()))).second,
                     qPrintable(key));
        }
    }
};

QTEST_MAIN(tst_CommandBar)
#include "tst_commandbar.moc"
