// Qt Designer's view of the two controls: each one in the widget box under "Velmora", named by its
// C++ class so that the code uic generates for a host's form compiles against the installed headers.

#include <velmora/qlcustsearch.h>
#include <velmora/qlrvx.h>

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <functional>

namespace {

// Icons drawn here rather than shipped as files: a report sheet, and a magnifier over a card.
QIcon reportIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 120), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 3.5, 23, 25));
    p.fillRect(QRectF(5.5, 4.5, 22, 5), QColor(70, 110, 170));
    p.setPen(QPen(QColor(120, 140, 170), 1));
    for (int y = 13; y <= 25; y += 4)
        p.drawLine(QPointF(7, y), QPointF(25, y));
    p.drawLine(QPointF(14, 10), QPointF(14, 27));
    return QIcon(pm);
}

QIcon searchIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 120), 1.5));
    p.setBrush(QColor(235, 240, 250));
    p.drawRoundedRect(QRectF(2.5, 6.5, 20, 15), 2, 2);
    p.setBrush(QColor(255, 255, 255, 200));
    p.setPen(QPen(QColor(40, 40, 40), 2.5));
    p.drawEllipse(QPointF(19, 17), 7, 7);
    p.drawLine(QPointF(24, 22), QPointF(30, 28));
    return QIcon(pm);
}

class ControlPlugin : public QDesignerCustomWidgetInterface {
public:
    struct Entry {
        QString className;
        QString objectName;   // what Designer names the first one dropped on a form
        QString includeFile;
        QString toolTip;
        QString whatsThis;
        QIcon icon;
        std::function<QWidget *(QWidget *)> create;
    };

    explicit ControlPlugin(Entry entry) : m_entry(std::move(entry)) {}

    QString name() const override { return m_entry.className; }
    QString group() const override { return QStringLiteral("Velmora"); }
    QString toolTip() const override { return m_entry.toolTip; }
    QString whatsThis() const override { return m_entry.whatsThis; }
    QString includeFile() const override { return m_entry.includeFile; }
    QIcon icon() const override { return m_entry.icon; }
    bool isContainer() const override { return false; }
    QWidget *createWidget(QWidget *parent) override { return m_entry.create(parent); }
    bool isInitialized() const override { return m_initialized; }
    void initialize(QDesignerFormEditorInterface *) override { m_initialized = true; }
    QString domXml() const override
    {
        return QStringLiteral("<ui language=\"c++\"><widget class=\"%1\" name=\"%2\"/></ui>")
            .arg(m_entry.className, m_entry.objectName);
    }

private:
    Entry m_entry;
    bool m_initialized = false;
};

} // namespace

class VelmoraDesignerPlugins : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit VelmoraDesignerPlugins(QObject *parent = nullptr) : QObject(parent)
    {
        m_plugins.append(new ControlPlugin(
            {QStringLiteral("velmora::QLrvx"), QStringLiteral("reportControl"), QStringLiteral("velmora/qlrvx.h"),
             QStringLiteral("Velmora report control: inventory, service, custom SQL and other reports"),
             QStringLiteral("Opens the Velmora report viewer over the store database. Call its report methods "
                            "(ShowINVReport, CustomSQL, ShowMasterInv...) and mail methods from your code."),
             reportIcon(), [](QWidget *parent) { return new velmora::QLrvx(parent); }}));
        m_plugins.append(new ControlPlugin(
            {QStringLiteral("velmora::QLCustSearch"), QStringLiteral("customerSearch"),
             QStringLiteral("velmora/qlcustsearch.h"),
             QStringLiteral("Velmora customer search: the picked account arrives in Caption, with Change"),
             QStringLiteral("Opens the Velmora viewer on the store's customers (ShowCustSearch over the local "
                            "search file, ShowAllCustomers over the store database). A double click or Enter in "
                            "the search sets Caption to the customer's account and raises Change."),
             searchIcon(), [](QWidget *parent) { return new velmora::QLCustSearch(parent); }}));
    }

    ~VelmoraDesignerPlugins() override { qDeleteAll(m_plugins); }

    QList<QDesignerCustomWidgetInterface *> customWidgets() const override { return m_plugins; }

private:
    QList<QDesignerCustomWidgetInterface *> m_plugins;
};

#include "velmoradesigner.moc"
