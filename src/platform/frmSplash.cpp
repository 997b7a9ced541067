#include "platform/frmSplash.h"

#include "platform/platform.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace velmora {

namespace {
QPointer<frmSplash> s_splash;
bool s_busy = false;
} // namespace

frmSplash::frmSplash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Velmora"));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *shape = new QFrame(this);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setFrameShape(QFrame::Box);
    shape->setLineWidth(2);
    outer->addWidget(shape);

    auto *row = new QHBoxLayout(shape);
    row->setContentsMargins(18, 18, 24, 18);
    row->setSpacing(16);
    auto *picture = new QLabel(shape);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(48, 48));
    row->addWidget(picture);
    auto *text = new QLabel(QStringLiteral("Please Wait... Loading"), shape);
    text->setObjectName(QStringLiteral("Label1"));
    QFont f = text->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    f.setBold(true);
    text->setFont(f);
    auto *column = new QVBoxLayout;
    column->addWidget(text);
    m_progress = new QLabel(shape);
    m_progress->setObjectName(QStringLiteral("lblProgress"));
    m_progress->hide();
    column->addWidget(m_progress);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), shape);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        if (m_onCancel)
            m_onCancel();
    });
    column->addWidget(m_cancel, 0, Qt::AlignRight);
    row->addLayout(column);

    adjustSize();
}

frmSplash *frmSplash::instance()
{
    if (!s_splash)
        s_splash = new frmSplash;
    return s_splash;
}

bool frmSplash::isLoaded()
{
    return !s_splash.isNull();
}

void frmSplash::unload()
{
    if (s_splash) {
        s_splash->hide();
        delete s_splash.data();
    }
}

void frmSplash::showProgress(const QString &text, std::function<void()> onCancel)
{
    m_progress->setText(text);
    if (m_cancel->isHidden()) {
        m_onCancel = std::move(onCancel);
        if (windowModality() != Qt::ApplicationModal) {
            hide();
            setWindowModality(Qt::ApplicationModal);
        }
        m_progress->show();
        m_cancel->setEnabled(true);
        m_cancel->show();
        adjustSize();
        show();
        raise();
    }
}

void frmSplash::hideProgress()
{
    m_onCancel = nullptr;
    m_progress->hide();
    m_cancel->hide();
    adjustSize();
}

void setPointerBusy()
{
    if (!s_busy) {
        platform::setBusy(true);
        s_busy = true;
    }
}

void restorePointer()
{
    if (s_busy) {
        platform::setBusy(false);
        s_busy = false;
    }
}

bool pointerBusy()
{
    return s_busy;
}

} // namespace velmora
