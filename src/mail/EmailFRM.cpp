#include "mail/EmailFRM.h"

#include "core/mailrules.h"
#include "core/profilefile.h"
#include "core/reportrequest.h"
#include "mail/EmailAB.h"
#include "mail/mimemessage.h"
#include "mail/smtptransport.h"
#include "platform/modMain.h"
#include "platform/platform.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QUuid>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

constexpr char16_t Section[] = u"Email";
constexpr char16_t GeometryGroup[] = u"Email Form Size";
constexpr char16_t AddressBookFile[] = u"vlmoemail.dat";
constexpr char16_t TransferFileName[] = u"XferVLM.vmx";

// Sizes the window keeps, in twips.
constexpr int MinimumHeight = 8535;
constexpr int MinimumWidth = 12120;
constexpr int SmallHeight = 2790;
constexpr int SmallWidth = 8655;

QPointer<EmailFRM> theWindow;

QString readSetting(const char16_t *key, const QString &def)
{
    QString section = QString::fromUtf16(Section);
    QString k = QString::fromUtf16(key);
    QString d = def;
    bool local = false;
    return ReadIniText(section, k, d, local);
}

bool writeSetting(const char16_t *key, const QString &value)
{
    QString section = QString::fromUtf16(Section);
    QString k = QString::fromUtf16(key);
    QString v = value;
    bool local = false;
    return WriteIniText(section, k, v, local);
}

QString settingsFilePath() { return request().Datapath + QStringLiteral("vlmfiles.dat"); }
QString addressBookPath() { return request().Datapath + QString::fromUtf16(AddressBookFile); }

QLabel *label(const QString &text, QWidget *parent, const QString &name = {})
{
    auto *l = new QLabel(text, parent);
    if (!name.isEmpty())
        l->setObjectName(name);
    return l;
}

QPushButton *button(const QString &text, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLineEdit *field(const QString &name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

} // namespace

struct EmailFRM::Private {
    bool loaded = false;
    bool autoSend = false;
    bool deleteAfterSend = false;
    bool fromEOD = false;
    bool deleteAllHOfiles = false;
    bool mailSent = false;
    bool cancelRequested = false;
    bool addressBookChanged = false;
    bool sending = false;
    bool deleteWhenIdle = false;
    QString copyToAddress;
    QString helpFile;
    mail::SmtpTransport *transport = nullptr;   // the send in progress
};

EmailFRM *EmailFRM::instance()
{
    if (!theWindow)
        theWindow = new EmailFRM;
    return theWindow;
}

EmailFRM *EmailFRM::existing()
{
    return theWindow;
}

EmailFRM::EmailFRM(QWidget *parent) : QWidget(parent, Qt::Window), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("EmailFRM"));
    setWindowTitle(QStringLiteral("Velmora SendMail"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *outer = new QVBoxLayout(this);

    // Compose panel.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *compose = new QGridLayout(Frame1);
    compose->addWidget(label(QStringLiteral("To:"), Frame1), 0, 0, Qt::AlignTop);
    TOtxt = new QTextEdit(Frame1);
    TOtxt->setObjectName(QStringLiteral("TOtxt"));
    TOtxt->setAcceptRichText(false);
    TOtxt->setFixedHeight(48);
    compose->addWidget(TOtxt, 0, 1);
    auto *hint = label(QStringLiteral("Type E-mail address's seperated by commas or double click to select from the "
                                      "phone book  >>"),
                       Frame1, QStringLiteral("Label3"));
    hint->setWordWrap(true);
    compose->addWidget(hint, 0, 2);
    compose->addWidget(label(QStringLiteral("Subject"), Frame1), 1, 0);
    SubjectTXT = field(QStringLiteral("SubjectTXT"), Frame1);
    compose->addWidget(SubjectTXT, 1, 1);
    compose->addWidget(label(QStringLiteral("Text"), Frame1), 2, 0, Qt::AlignTop);
    auto *bodyBox = new QVBoxLayout;
    TXButtonBar = new QToolBar(Frame1);
    TXButtonBar->setObjectName(QStringLiteral("TXButtonBar"));
    MSGtxt = new QTextEdit(Frame1);
    MSGtxt->setObjectName(QStringLiteral("MSGtxt"));
    MSGtxt->document()->setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    bodyBox->addWidget(TXButtonBar);
    bodyBox->addWidget(MSGtxt);
    compose->addLayout(bodyBox, 2, 1);

    auto *bookBox = new QVBoxLayout;
    Grid1 = new QTableWidget(0, 2, Frame1);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setHorizontalHeaderLabels({QStringLiteral("Name or Store #"), QStringLiteral("Email Address")});
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    bookBox->addWidget(Grid1);
    auto *bookButtons = new QHBoxLayout;
    bookButtons->addWidget(label(QStringLiteral("Address book functions >>"), Frame1));
    ABadd = button(QStringLiteral("&Add"), QStringLiteral("ABadd"), Frame1);
    ABedit = button(QStringLiteral("&Edit"), QStringLiteral("ABedit"), Frame1);
    ABdelete = button(QStringLiteral("&Delete"), QStringLiteral("ABdelete"), Frame1);
    bookButtons->addWidget(ABadd);
    bookButtons->addWidget(ABedit);
    bookButtons->addWidget(ABdelete);
    bookBox->addLayout(bookButtons);
    compose->addLayout(bookBox, 1, 2, 2, 1);

    auto *attachRow = new QHBoxLayout;
    Label7 = label(QStringLiteral("Attachment"), Frame1, QStringLiteral("Label7"));
    Attachment = label(QString(), Frame1, QStringLiteral("Attachment"));
    Attachment->setCursor(Qt::PointingHandCursor);
    Attachment->setToolTip(QStringLiteral("Click to open the attachment"));
    Attachment->installEventFilter(this);
    Command4 = button(QStringLiteral("..."), QStringLiteral("Command4"), Frame1);
    attachRow->addWidget(Label7);
    attachRow->addWidget(Attachment, 1);
    attachRow->addWidget(Command4);
    compose->addLayout(attachRow, 3, 0, 1, 3);
    auto *bottomRow = new QHBoxLayout;
    Label12 = label(QStringLiteral("F1 = Help"), Frame1, QStringLiteral("Label12"));
    Label12->installEventFilter(this);
    editsettings = button(QStringLiteral("Edit SMTP Settings"), QStringLiteral("editsettings"), Frame1);
    Command1 = button(QStringLiteral("&Send Mail"), QStringLiteral("Command1"), Frame1);
    bottomRow->addWidget(Label12);
    bottomRow->addWidget(editsettings);
    bottomRow->addStretch();
    bottomRow->addWidget(Command1);
    compose->addLayout(bottomRow, 4, 0, 1, 3);
    compose->setColumnStretch(1, 3);
    compose->setColumnStretch(2, 2);
    compose->setRowStretch(2, 1);
    outer->addWidget(Frame1);

    // Sending panel.
    Frame2 = new QFrame(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto *sendingBox = new QVBoxLayout(Frame2);
    sendingBox->addWidget(label(QStringLiteral("Sending E-Mail..."), Frame2));
    sendingBox->addWidget(label(QStringLiteral("Sending Progress"), Frame2));
    ProgressBar1 = new QProgressBar(Frame2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    sendingBox->addWidget(ProgressBar1);
    CancelSend = button(QStringLiteral("&Cancel Send"), QStringLiteral("CancelSend"), Frame2);
    sendingBox->addWidget(CancelSend, 0, Qt::AlignRight);
    outer->addWidget(Frame2);

    // Settings panel.
    Frame3 = new QFrame(this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *settings = new QGridLayout(Frame3);
    settings->addWidget(label(QStringLiteral("SMTP SendMail Settings"), Frame3), 0, 0, 1, 2);
    ServerTXT = field(QStringLiteral("ServerTXT"), Frame3);
    SenderNameTXT = field(QStringLiteral("SenderNameTXT"), Frame3);
    SenderEmailTXT = field(QStringLiteral("SenderEmailTXT"), Frame3);
    SMTPUser = field(QStringLiteral("SMTPUser"), Frame3);
    SMTPpassword = field(QStringLiteral("SMTPpassword"), Frame3);
    SMTPpassword->setEchoMode(QLineEdit::Password);
    SSLcheck = new QCheckBox(QStringLiteral("Send using SSL on port 465"), Frame3);
    SSLcheck->setObjectName(QStringLiteral("SSLcheck"));
    int row = 1;
    for (auto [caption, edit] : {std::pair{"SMTP server", ServerTXT}, std::pair{"Sender Store#", SenderNameTXT},
                                 std::pair{"Reply-to Email", SenderEmailTXT}}) {
        settings->addWidget(label(QString::fromLatin1(caption), Frame3), row, 0);
        settings->addWidget(edit, row++, 1);
    }
    settings->addWidget(SSLcheck, row++, 1);
    settings->addWidget(label(QStringLiteral("The settings below are not needed for most SMTP Servers"), Frame3), row++,
                        0, 1, 2);
    for (auto [caption, edit] : {std::pair{"SMTP User Name", SMTPUser}, std::pair{"SMTP Password", SMTPpassword}}) {
        settings->addWidget(label(QString::fromLatin1(caption), Frame3), row, 0);
        settings->addWidget(edit, row++, 1);
    }
    auto *settingsButtons = new QHBoxLayout;
    SaveSettings = button(QStringLiteral("&Save Settings"), QStringLiteral("SaveSettings"), Frame3);
    ESC2 = button(QStringLiteral("ESC - Cancel"), QStringLiteral("ESC2"), Frame3);
    settingsButtons->addStretch();
    settingsButtons->addWidget(SaveSettings);
    settingsButtons->addWidget(ESC2);
    settings->addLayout(settingsButtons, row++, 0, 1, 2);
    settings->setRowStretch(row, 1);
    outer->addWidget(Frame3);
    Frame2->hide();
    Frame3->hide();

    buildFormattingBar();
    connect(Command1, &QPushButton::clicked, this, &EmailFRM::Command1_Click);
    connect(CancelSend, &QPushButton::clicked, this, &EmailFRM::CancelSend_Click);
    connect(editsettings, &QPushButton::clicked, this, &EmailFRM::editsettings_Click);
    connect(SaveSettings, &QPushButton::clicked, this, &EmailFRM::SaveSettings_Click);
    connect(ESC2, &QPushButton::clicked, this, &EmailFRM::ESC2_Click);
    connect(ABadd, &QPushButton::clicked, this, &EmailFRM::ABadd_Click);
    connect(ABedit, &QPushButton::clicked, this, &EmailFRM::ABedit_Click);
    connect(ABdelete, &QPushButton::clicked, this, &EmailFRM::ABdelete_Click);
    connect(Command4, &QPushButton::clicked, this, &EmailFRM::Command4_Click);
    connect(Grid1, &QTableWidget::cellDoubleClicked, this, &EmailFRM::Grid1_DblClick);
    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { platform::showHelp(this, d->helpFile, 0); });
}

EmailFRM::~EmailFRM() = default;

bool EmailFRM::isLoaded() const { return d->loaded; }
bool EmailFRM::MailSent() const { return d->mailSent; }
bool EmailFRM::AddressBookChanged() const { return d->addressBookChanged; }
bool EmailFRM::sending() const { return d->sending; }

void EmailFRM::buildFormattingBar()
{
    auto toggle = [this](const QString &name, const QString &text, auto apply) {
        QAction *a = TXButtonBar->addAction(text);
        a->setObjectName(name);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, apply);
        return a;
    };
    QFont bold = font();
    bold.setBold(true);
    toggle(QStringLiteral("Bold"), QStringLiteral("B"), [this](bool on) {
        MSGtxt->setFontWeight(on ? QFont::Bold : QFont::Normal);
    })->setFont(bold);
    toggle(QStringLiteral("Italic"), QStringLiteral("I"), [this](bool on) { MSGtxt->setFontItalic(on); });
    toggle(QStringLiteral("Underline"), QStringLiteral("U"), [this](bool on) { MSGtxt->setFontUnderline(on); });
    auto *fontName = new QFontComboBox(TXButtonBar);
    fontName->setObjectName(QStringLiteral("FontName"));
    TXButtonBar->addWidget(fontName);
    connect(fontName, &QFontComboBox::currentFontChanged, this,
            [this](const QFont &f) { MSGtxt->setFontFamily(f.family()); });
    auto *fontSize = new QComboBox(TXButtonBar);
    fontSize->setObjectName(QStringLiteral("FontSize"));
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 36, 48})
        fontSize->addItem(QString::number(size));
    fontSize->setCurrentText(QStringLiteral("10"));
    TXButtonBar->addWidget(fontSize);
    connect(fontSize, &QComboBox::textActivated, this, [this](const QString &t) { MSGtxt->setFontPointSize(t.toDouble()); });
    QAction *colour = TXButtonBar->addAction(QStringLiteral("Colour"));
    colour->setObjectName(QStringLiteral("Colour"));
    connect(colour, &QAction::triggered, this, [this] {
        const QColor c = QColorDialog::getColor(MSGtxt->textColor(), this);
        if (c.isValid())
            MSGtxt->setTextColor(c);
    });
    TXButtonBar->addSeparator();
    const std::pair<const char *, Qt::Alignment> alignments[] = {
        {"AlignLeft", Qt::AlignLeft}, {"AlignCenter", Qt::AlignHCenter}, {"AlignRight", Qt::AlignRight}};
    for (auto [name, alignment] : alignments) {
        QAction *a = TXButtonBar->addAction(QString::fromLatin1(name).mid(5));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, alignment] { MSGtxt->setAlignment(alignment); });
    }
    const std::pair<const char *, QTextListFormat::Style> lists[] = {{"BulletList", QTextListFormat::ListDisc},
                                                                     {"NumberedList", QTextListFormat::ListDecimal}};
    for (auto [name, style] : lists) {
        QAction *a = TXButtonBar->addAction(QString::fromLatin1(name).chopped(4));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, style] {
            QTextCursor cursor = MSGtxt->textCursor();
            if (QTextList *list = cursor.currentList(); list && list->format().style() == style) {
                list->remove(cursor.block());
                QTextBlockFormat plain = cursor.blockFormat();
                plain.setIndent(0);
                cursor.setBlockFormat(plain);
            } else {
                cursor.createList(style);
            }
        });
    }
    QAction *picture = TXButtonBar->addAction(QStringLiteral("Picture"));
    picture->setObjectName(QStringLiteral("InsertPicture"));
    connect(picture, &QAction::triggered, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Insert Picture"), QString(),
                                                          QStringLiteral("Pictures (*.png *.jpg *.jpeg *.gif *.bmp)"));
        if (!file.isEmpty() && !QImage(file).isNull())
            MSGtxt->textCursor().insertImage(file);
    });
    // The bar follows the character under the cursor, as users of word processors expect.
    connect(MSGtxt, &QTextEdit::currentCharFormatChanged, this, [this](const QTextCharFormat &f) {
        TXButtonBar->findChild<QAction *>(QStringLiteral("Bold"))->setChecked(f.fontWeight() >= QFont::Bold);
        TXButtonBar->findChild<QAction *>(QStringLiteral("Italic"))->setChecked(f.fontItalic());
        TXButtonBar->findChild<QAction *>(QStringLiteral("Underline"))->setChecked(f.fontUnderline());
    });
}

// ---- Panels and geometry -----------------------------------------------------------------------

namespace {

double twipsPerPixel(const QWidget *w)
{
    const QScreen *screen = w->screen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

} // namespace

void EmailFRM::showPanel(QFrame *panel)
{
    for (QFrame *f : {Frame1, Frame2, Frame3})
        f->setVisible(f == panel);
    // The compose panel needs room for its editor and address book; the others do not.
    const double tpp = twipsPerPixel(this);
    if (panel == Frame1)
        setMinimumSize(int(MinimumWidth / tpp), int(MinimumHeight / tpp));
    else
        setMinimumSize(0, 0);
}

void EmailFRM::layOutSmallCentred()
{
    setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    setMinimumSize(0, 0);
    const double tpp = twipsPerPixel(this);
    const QSize size(int(SmallWidth / tpp), int(SmallHeight / tpp));
    resize(size);
    const QRect screen = this->screen() ? this->screen()->geometry() : QRect(0, 0, 1024, 768);
    move(screen.center() - QPoint(size.width() / 2, size.height() / 2));
    repaint();
    platform::processEvents();
}

void EmailFRM::EmailFormSize(bool save)
{
    const std::unique_ptr<QSettings> store = platform::settings();
    store->beginGroup(QString::fromUtf16(GeometryGroup));
    const double tpp = twipsPerPixel(this);
    if (save) {
        // Only the compose panel has a size worth keeping.
        if (!Frame1->isVisible())
            return;
        if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
            store->setValue(QStringLiteral("Top"), QString::number(float(y() * tpp)));
            store->setValue(QStringLiteral("Left"), QString::number(float(x() * tpp)));
            store->setValue(QStringLiteral("Height"), QString::number(float(height() * tpp)));
            store->setValue(QStringLiteral("Width"), QString::number(float(width() * tpp)));
        }
        store->setValue(QStringLiteral("Maximized"),
                        (windowState() & Qt::WindowMaximized) ? QStringLiteral("1") : QStringLiteral("0"));
        return;
    }
    if (store->value(QStringLiteral("Maximized"), QStringLiteral("0")).toString() == u"1") {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    setWindowState(windowState() & ~Qt::WindowMaximized);
    move(int(store->value(QStringLiteral("Left"), QStringLiteral("0")).toString().toDouble() / tpp),
         int(store->value(QStringLiteral("Top"), QStringLiteral("0")).toString().toDouble() / tpp));
    const double h = store->value(QStringLiteral("Height"), QStringLiteral("0")).toString().toDouble();
    const double w = store->value(QStringLiteral("Width"), QStringLiteral("0")).toString().toDouble();
    resize(w > 0 ? int(w / tpp) : width(), h > 0 ? int(h / tpp) : height());
}

// ---- Load, StartMail ---------------------------------------------------------------------------

void EmailFRM::Form_Load()
{
    d->loaded = true;
    d->mailSent = false;
    showPanel(Frame1);
    if (!d->autoSend) {
        const double tpp = twipsPerPixel(this);
        resize(int(MinimumWidth / tpp), int(MinimumHeight / tpp));   // the designed size
        EmailFormSize(false);
    }
    ProgressBar1->setValue(0);
    d->cancelRequested = false;
    // Hosts ship the help file in either spelling; names are case-sensitive here.
    d->helpFile = request().LocalPath + QStringLiteral("Velmora.chm");
    if (!QFileInfo::exists(d->helpFile))
        d->helpFile = request().LocalPath + QStringLiteral("velmora.chm");
    // A data folder is needed for the settings and the address book; without one they live in
    // the user's own folder rather than in whatever folder the host happens to run in.
    if (request().Datapath.isEmpty())
        request().Datapath = QDir::homePath() + QStringLiteral("/vlmwin/");
    if (!d->autoSend)
        loadAddressBook();
    readSettings();
}

void EmailFRM::StartMail(QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend1,
                         bool &FromEOD1, bool &DeleteAllHOfiles1, QString &ToEmail, bool &AutoSend)
{
    if (d->sending)
        return;   // one send at a time; the window shows its progress
    d->autoSend = AutoSend;
    if (!d->loaded)
        Form_Load();
    if (d->autoSend) {
        Frame1->hide();
        Frame2->hide();
        Frame3->hide();
        layOutSmallCentred();
    } else if (!Frame1->isVisible() && !Frame3->isVisible()) {
        showPanel(Frame1);   // still open from an unattended send that a check stopped
    }
    d->deleteAfterSend = DeleteAfterSend1;
    d->fromEOD = FromEOD1;
    d->deleteAllHOfiles = DeleteAllHOfiles1;
    TOtxt->setPlainText(ToEmail);
    SubjectTXT->setText(Subject);

    if (mailrules::isHtmlDocument(MessagetoSend)) {
        MSGtxt->setHtml(MessagetoSend);
    } else if (MessagetoSend.startsWith(u"~~")) {
        const mailrules::MarkedMessage marked = mailrules::splitMarkedMessage(MessagetoSend);
        if (!marked.recipient.isEmpty())
            TOtxt->setPlainText(marked.recipient);
        MessagetoSend = marked.body;
        MSGtxt->setHtml(MessagetoSend);
    } else {
        MSGtxt->setPlainText(MessagetoSend);
    }
    Attachment->setText(FileAttach);

    if (d->fromEOD && !d->autoSend) {
        hide();   // modality changes only while hidden
        setWindowModality(Qt::ApplicationModal);
        QEventLoop untilClosed;
        connect(this, &EmailFRM::unloaded, &untilClosed, &QEventLoop::quit);
        show();
        raise();
        activateWindow();
        untilClosed.exec();
        setWindowModality(Qt::NonModal);
        return;
    }
    setWindowModality(Qt::NonModal);
    show();
    raise();
    activateWindow();
    if (d->autoSend) {
        Command1_Click();
        if (d->mailSent)
            Subject = QStringLiteral("Success");
    }
}

// ---- Settings ------------------------------------------------------------------------------------

void EmailFRM::readSettings()
{
    const QString path = settingsFilePath();
    QFile probe(path);
    if (probe.exists() && !probe.open(QIODevice::ReadOnly)) {
        platform::messageBox(this,
                             QStringLiteral("The mail settings in %1 cannot be read (%2). Enter them with Edit SMTP "
                                            "Settings.").arg(QDir::toNativeSeparators(path), probe.errorString()),
                             platform::MsgStyle::Exclamation);
    }
    const ReportRequest &r = request();
    d->copyToAddress = readSetting(u"CopyTO", QString());
    ServerTXT->setText(readSetting(u"server", QString()));
    SenderNameTXT->setText(readSetting(u"sendername", mailrules::defaultSenderName(r.Storename, r.StoreNumber)));
    SenderEmailTXT->setText(readSetting(u"senderemail", QString()));
    SMTPUser->setText(readSetting(u"senderuser", QString()));
    SMTPpassword->setText(readSetting(u"senderpassword", QString()));
    SSLcheck->setChecked(readSetting(u"UseSSL", QStringLiteral("0")).trimmed().toInt() == 1);
}

void EmailFRM::editsettings_Click()
{
    showPanel(Frame3);
}

void EmailFRM::SaveSettings_Click()
{
    const std::pair<const char16_t *, QString> values[] = {
        {u"server", ServerTXT->text()},
        {u"sendername", SenderNameTXT->text()},
        {u"senderemail", SenderEmailTXT->text()},
        {u"senderuser", SMTPUser->text()},
        {u"senderpassword", SMTPpassword->text()},
        {u"UseSSL", SSLcheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0")},
    };
    bool saved = true;
    for (const auto &[key, value] : values)
        saved = writeSetting(key, value) && saved;
    if (!saved) {
        // The panel stays, so nothing typed is lost; a send still uses the fields as they stand.
        platform::messageBox(this,
                             QStringLiteral("The mail settings could not be saved in %1. Check that the folder exists "
                                            "and may be written; the settings typed are kept for this window.")
                                 .arg(QDir::toNativeSeparators(settingsFilePath())),
                             platform::MsgStyle::Exclamation);
        return;
    }
    showPanel(Frame1);
}

void EmailFRM::ESC2_Click()
{
    showPanel(Frame1);
}

// ---- Address book ------------------------------------------------------------------------------

void EmailFRM::loadAddressBook()
{
    Grid1->setRowCount(0);
    const double tpp = twipsPerPixel(this);
    Grid1->setColumnWidth(0, int(2000 / tpp));
    Grid1->setColumnWidth(1, int(5000 / tpp));
    const QString path = addressBookPath();
    if (!QFileInfo::exists(path)) {
        const QString failed = replaceFileContents(path, mailrules::writeAddressBook({mailrules::defaultAddressEntry()}));
        if (!failed.isEmpty()) {
            platform::messageBox(this,
                                 QStringLiteral("The address book %1 could not be created (%2). The window goes on "
                                                "with an empty address book.")
                                     .arg(QDir::toNativeSeparators(path), failed),
                                 platform::MsgStyle::Exclamation);
            return;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        platform::messageBox(this,
                             QStringLiteral("The address book %1 cannot be read (%2). The window goes on with an "
                                            "empty address book.").arg(QDir::toNativeSeparators(path), file.errorString()),
                             platform::MsgStyle::Exclamation);
        return;
    }
    const QList<mailrules::AddressEntry> entries = mailrules::readAddressBook(file.readAll());
    Grid1->setRowCount(int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        Grid1->setItem(i, 0, new QTableWidgetItem(entries[i].name));
        Grid1->setItem(i, 1, new QTableWidgetItem(entries[i].address));
    }
}

bool EmailFRM::writeAddressBook()
{
    QList<mailrules::AddressEntry> entries;
    for (int i = 0; i < Grid1->rowCount(); ++i) {
        const QTableWidgetItem *name = Grid1->item(i, 0);
        const QTableWidgetItem *address = Grid1->item(i, 1);
        entries.append({name ? name->text() : QString(), address ? address->text() : QString()});
    }
    const QString path = addressBookPath();
    const QString failed = replaceFileContents(path, mailrules::writeAddressBook(entries));
    if (failed.isEmpty())
        return true;
    platform::messageBox(this,
                         QStringLiteral("The address book could not be saved in %1 (%2). The address book there is "
                                        "unchanged.").arg(QDir::toNativeSeparators(path), failed),
                         platform::MsgStyle::Exclamation);
    return false;
}

void EmailFRM::ABadd_Click()
{
    EmailAB dialog(Grid1, this);
    dialog.EditMode->setText(QStringLiteral("add"));
    dialog.exec();
    d->addressBookChanged = true;
}

void EmailFRM::ABedit_Click()
{
    const int row = Grid1->currentRow();
    if (row < 0)
        return;
    EmailAB dialog(Grid1, this);
    dialog.EditMode->setText(mailrules::editModeText(row + 1));
    dialog.TXTname->setText(Grid1->item(row, 0) ? Grid1->item(row, 0)->text() : QString());
    dialog.TXTemail->setText(Grid1->item(row, 1) ? Grid1->item(row, 1)->text() : QString());
    dialog.exec();
    d->addressBookChanged = true;
}

void EmailFRM::ABdelete_Click()
{
    const int row = Grid1->currentRow();
    if (row < 0)
        return;
    const QString name = Grid1->item(row, 0) ? Grid1->item(row, 0)->text() : QString();
    const QString address = Grid1->item(row, 1) ? Grid1->item(row, 1)->text() : QString();
    const int answer = platform::messageBox(
        this, QStringLiteral("Do you want to delete the following from the address book: ") + name + QStringLiteral("  ") + address,
        platform::MsgStyle::YesNo | platform::MsgStyle::Question, QStringLiteral("Confirm Delete"));
    if (answer != platform::MsgResult::Yes)
        return;
    Grid1->removeRow(row);
    d->addressBookChanged = true;
}

void EmailFRM::Grid1_DblClick()
{
    const int row = Grid1->currentRow();
    if (row < 0)
        return;
    const QString address = Grid1->item(row, 1) ? Grid1->item(row, 1)->text() : QString();
    TOtxt->setPlainText(mailrules::addPickedAddress(TOtxt->toPlainText(), address));
}

void EmailFRM::Command4_Click()
{
    const QString file = QFileDialog::getOpenFileName(this, QString(), QString(), QStringLiteral("All files (*)"));
    if (!file.isEmpty())
        Attachment->setText(QDir::toNativeSeparators(file));
}

bool EmailFRM::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == Attachment && !Attachment->text().isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(Attachment->text()));
        else if (watched == Label12)
            platform::showHelp(this, d->helpFile, 0);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Send ----------------------------------------------------------------------------------------

namespace {

// The bytes of a picture of the body: its file when it has one, else the picture the editor shows
// (a pasted one, or one it fetched itself) as PNG.
QByteArray pictureBytes(QTextDocument *document, const QString &name)
{
    const QUrl url(name);
    const QString path = url.isLocalFile() ? url.toLocalFile() : name;
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        return file.readAll();
    const QVariant shown = document->resource(QTextDocument::ImageResource, url);
    QImage image = shown.value<QImage>();
    if (image.isNull())
        image = QImage::fromData(shown.toByteArray());
    QByteArray png;
    if (!image.isNull()) {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    return png;
}

// The body as the message carries it: HTML whose pictures refer to their inline parts, the
// pictures themselves, and the same text without formatting.
void composeBody(QTextDocument *document, mail::OutgoingMail &mail)
{
    const QString token = QUuid::createUuid().toString(QUuid::Id128).left(12);
    QHash<QString, QString> contentIds;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            const QString bare = mailrules::bareFileName(name);
            // Pictures are matched by their bare file name; the first of a name wins.
            if (bare.isEmpty() || contentIds.contains(bare))
                continue;
            const QByteArray data = pictureBytes(document, name);
            if (data.isEmpty())
                continue;   // a picture that cannot be read is left out, the send goes on
            const QString id = QString::fromLatin1(QUrl::toPercentEncoding(bare)) + u'.' + token + QStringLiteral("@velmora");
            contentIds.insert(bare, id);
            mail.images.append({id, bare, data});
        }
    }
    QString html = mailrules::removeBaseReference(document->toHtml());
    html = mailrules::reduceImageSources(html);
    mail.html = mailrules::referToContentIds(html, contentIds);
    mail.plainText = document->toPlainText().remove(QChar::ObjectReplacementCharacter);
}

} // namespace

void EmailFRM::Command1_Click()
{
    if (d->sending)
        return;
    ProgressBar1->setValue(5);
    if (ServerTXT->text().isEmpty() || SenderEmailTXT->text().isEmpty() || SenderNameTXT->text().isEmpty()) {
        platform::messageBox(this, QStringLiteral("You must enter SMTP settings. Click on the Edit SMTP Settings button "
                                                  "to enter SMTP settings."),
                             platform::MsgStyle::Information);
        return;
    }
    if (TOtxt->toPlainText().trimmed().isEmpty()) {
        platform::messageBox(this, QStringLiteral("Enter a recipient's E-Mail address."), platform::MsgStyle::Information);
        TOtxt->setFocus();
        return;
    }

    mail::SmtpAccount account;
    account.server = ServerTXT->text();
    account.useSsl = SSLcheck->isChecked();
    account.user = SMTPUser->text();
    account.password = SMTPpassword->text();
    mail::OutgoingMail message;
    message.subject = SubjectTXT->text();
    message.senderAddress = SenderEmailTXT->text();
    message.senderName = SenderNameTXT->text();
    message.to = TOtxt->toPlainText();
    message.copyTo = d->copyToAddress;
    composeBody(MSGtxt->document(), message);
    message.attachments = mailrules::attachmentFiles(Attachment->text());

    EmailFormSize(true);
    showPanel(Frame2);
    Frame2->repaint();
    layOutSmallCentred();

    // The message is put together and sent on a worker; this thread keeps painting the progress
    // and takes the Cancel Send click.
    mail::SmtpTransport transport;
    mail::SendOutcome outcome;
    d->sending = true;
    d->transport = &transport;
    QEventLoop untilDone;
    QThread *worker = QThread::create([&] {
        Result<mail::BuiltMail> built = mail::buildMessage(message);
        if (!built.ok()) {
            outcome.errorText = built.failure().text();
            return;
        }
        outcome = transport.run(account, built->envelopeFrom, built->envelopeRecipients, built->bytes);
    });
    connect(worker, &QThread::finished, &untilDone, &QEventLoop::quit);
    QTimer progress;
    progress.setInterval(100);
    connect(&progress, &QTimer::timeout, this, [this, &transport] {
        const int percent = std::max(5, transport.percentDone());
        if (percent != ProgressBar1->value()) {
            ProgressBar1->setValue(percent);
            ProgressBar1->repaint();
        }
    });
    progress.start();
    worker->start();
    untilDone.exec();
    worker->wait();
    delete worker;
    progress.stop();
    d->transport = nullptr;
    d->sending = false;

    if (outcome.sent) {
        ProgressBar1->setValue(100);
        afterSend();
        d->mailSent = true;
        close();
    } else if (d->autoSend) {
        close();
    } else {
        showPanel(Frame1);
        d->cancelRequested = false;
        EmailFormSize(false);
        platform::messageBox(this, QStringLiteral("Sending E-Mail Failed. Information is below:\n\n") + outcome.errorText,
                             platform::MsgStyle::Exclamation);
    }
    if (d->deleteWhenIdle)
        deleteLater();
}

void EmailFRM::CancelSend_Click()
{
    d->cancelRequested = true;
    if (d->transport)
        d->transport->cancel();
}

namespace {

// Removes a file; on failure says so as the store's staff know the message, and returns false.
bool removeSentFile(QWidget *parent, const QString &path)
{
    if (::remove(QFile::encodeName(path).constData()) == 0)
        return true;
    const int error = errno;
    platform::messageBox(parent,
                         QStringLiteral("Error # ") + (error >= 0 ? QStringLiteral(" ") : QString())
                             + QString::number(error) + QStringLiteral(" was generated by Velmora\n")
                             + QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ")
                             + QDir::toNativeSeparators(path)
                             + QStringLiteral("  Not able to delete the file attachment that was emailed."),
                         platform::MsgStyle::OkOnly);
    return false;
}

} // namespace

void EmailFRM::afterSend()
{
    if (Attachment->text().isEmpty() || !d->deleteAfterSend)
        return;
    // Each file of a "|" list is deleted, not the list as one name.
    for (const QString &file : mailrules::attachmentFiles(Attachment->text()))
        removeSentFile(this, file);
    if (!d->deleteAllHOfiles)
        return;
    const QDir homeOffice(request().Datapath + QStringLiteral("HomeOffice"));
    for (const QFileInfo &file : homeOffice.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!removeSentFile(this, file.absoluteFilePath()))
            break;
    }
}

// ---- Closing -------------------------------------------------------------------------------------

namespace {

QString browseForFolder(QWidget *owner, const QString &prompt)
{
    QFileDialog picker(owner, prompt);
    picker.setObjectName(QStringLiteral("BrowseForFolder"));
    picker.setFileMode(QFileDialog::Directory);
    picker.setOption(QFileDialog::ShowDirsOnly);
    picker.setOption(QFileDialog::DontUseNativeDialog);
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty())
        return {};
    return picker.selectedFiles().constFirst();
}

} // namespace

bool EmailFRM::transferFileRescued()
{
    const QString source = Attachment->text();
    if (!mailrules::isTransferFile(source) || d->mailSent)
        return true;
    for (;;) {
        QString folder = browseForFolder(this, QStringLiteral("Unable to E-Mail the transfer file. Choose a location to "
                                                              "save the transfer file or choose cancel to try to "
                                                              "resend by E-Mail"));
        if (folder.isEmpty())
            return false;
        if (!folder.endsWith(u'/'))
            folder += u'/';
        const QString target = folder + QString::fromUtf16(TransferFileName);
        if (QFileInfo::exists(target)) {
            const int answer = platform::messageBox(
                this, QDir::toNativeSeparators(target) + QStringLiteral("\nFile exists...Overwrite?"),
                platform::MsgStyle::YesNo | platform::MsgStyle::Question, QStringLiteral("Velmora"));
            if (answer != platform::MsgResult::Yes)
                continue;
        }
        // Copied beside the target first, so a full disk never leaves half a transfer file there.
        const QString partial = target + QStringLiteral(".part");
        QFile::remove(partial);
        if (!QFile::copy(source, partial))
            return false;
        if (QFileInfo::exists(target) && !QFile::remove(target)) {
            QFile::remove(partial);
            return false;
        }
        if (!QFile::rename(partial, target)) {
            QFile::remove(partial);
            return false;
        }
        QFile::remove(source);
        return true;
    }
}

void EmailFRM::keepOnUnload()
{
    EmailFormSize(true);
    if (d->addressBookChanged && !d->autoSend && writeAddressBook())
        d->addressBookChanged = false;
}

void EmailFRM::closeEvent(QCloseEvent *event)
{
    if (d->sending) {
        event->ignore();   // Cancel Send ends a send; the window closes when it has
        return;
    }
    keepOnUnload();
    if (!transferFileRescued()) {
        event->ignore();
        return;
    }
    d->loaded = false;
    event->accept();
    QWidget::closeEvent(event);
    emit unloaded();
}

bool EmailFRM::event(QEvent *event)
{
    // The viewer's Esc unloads every window; a send in progress finishes (or is cancelled) first.
    if (event->type() == QEvent::DeferredDelete && d->sending) {
        d->deleteWhenIdle = true;
        if (d->transport)
            d->transport->cancel();
        return true;
    }
    // Deleted without being closed (the viewer's Esc): the address book edits are kept all the same.
    if (event->type() == QEvent::DeferredDelete && d->loaded)
        keepOnUnload();
    return QWidget::event(event);
}

} // namespace velmora
