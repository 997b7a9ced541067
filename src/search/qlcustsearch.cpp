#include <velmora/error.h>
#include <velmora/qlcustsearch.h>

#include "control/loadviewer.h"
#include "core/reportrequest.h"
#include "viewer/frmMain.h"

#include <QLabel>
#include <QVBoxLayout>

#include <exception>

namespace velmora {

namespace {

// The result label. The viewer delivers a pick through the label's setText slot, looked up by
// name, so this class's own slot runs and the control hears of the change; QLabel itself has no
// signal for a new text.
class ResultLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

public Q_SLOTS:
    void setText(const QString &text)
    {
        if (text == QLabel::text())
            return;
        QLabel::setText(text);
        Q_EMIT textChanged();
    }

Q_SIGNALS:
    void textChanged();
};

} // namespace

struct QLCustSearch::Impl {
    ResultLabel *label = nullptr;
};

QLCustSearch::QLCustSearch(QWidget *parent) : QWidget(parent), d(std::make_unique<Impl>())
{
    setObjectName(QStringLiteral("QLCustSearch"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    d->label = new ResultLabel(this);
    d->label->setObjectName(QStringLiteral("QLsearchResults"));
    d->label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for an account number even while empty, so the control can be seen and picked on a form.
    d->label->setMinimumWidth(d->label->fontMetrics().horizontalAdvance(QStringLiteral("00-0000000")));
    layout->addWidget(d->label);
    connect(d->label, &ResultLabel::textChanged, this, &QLCustSearch::Change);
}

QLCustSearch::~QLCustSearch() = default;

QString QLCustSearch::Caption() const
{
    return d->label->text();
}

void QLCustSearch::setCaption(const QString &strNewText)
{
    d->label->setText(strNewText);
}

void QLCustSearch::CustSearchsetfocus()
{
    frmMain *viewer = frmMain::instance();
    if (!viewer || !viewer->isVisible())
        return;
    viewer->raise();
    viewer->activateWindow();
    viewer->setFocus(Qt::OtherFocusReason);
}

void QLCustSearch::ShowCustSearch(QString &Datapath1, QString &DBpassword1, QString &Storename1,
                                  QString &StoreNumber1)
{
    QString noLocalPath;
    ShowCustSearch(Datapath1, DBpassword1, Storename1, StoreNumber1, noLocalPath);
}

void QLCustSearch::ShowCustSearch(QString &Datapath1, QString &DBpassword1, QString &Storename1,
                                  QString &StoreNumber1, QString &LocalPath1)
{
    ReportRequest &r = request();
    r.SearchResultTarget = d->label;
    r.ReportKey = QStringLiteral("customersearch");
    r.Datapath = Datapath1;
    r.DBpassword = DBpassword1;
    r.Storename = Storename1;
    r.StoreNumber = StoreNumber1;
    r.LocalPath = LocalPath1;
    try {
        loadViewer();
    } catch (const Error &) {
        throw;
    } catch (const std::exception &e) {
        // Only the documented error type crosses into the host.
        throw Error(0, QString::fromLocal8Bit(e.what()));
    }
}

void QLCustSearch::ShowAllCustomers(QString &Datapath1, QString &ConnString1, QString &Storename1,
                                    QString &StoreNumber1)
{
    QString noLocalPath;
    ShowAllCustomers(Datapath1, ConnString1, Storename1, StoreNumber1, noLocalPath);
}

void QLCustSearch::ShowAllCustomers(QString &Datapath1, QString &ConnString1, QString &Storename1,
                                    QString &StoreNumber1, QString &LocalPath1)
{
    // The pick target stays with whichever control asked for the search last.
    ReportRequest &r = request();
    r.ReportKey = QStringLiteral("allcustomers");
    r.Datapath = Datapath1;
    r.ConnString = ConnString1;
    r.Storename = Storename1;
    r.StoreNumber = StoreNumber1;
    r.LocalPath = LocalPath1;
    loadViewer();
}

} // namespace velmora

#include "qlcustsearch.moc"
