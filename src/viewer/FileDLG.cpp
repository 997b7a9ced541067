#include "viewer/FileDLG.h"

#include "ui_FileDLG.h"

#include "core/reportrequest.h"
#include "core/layoutrules.h"
#include "platform/platform.h"
#include "viewer/layouts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QSignalBlocker>

namespace velmora {

namespace {

QPointer<FileDLG> g_instance;

QWidget *viewerWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->objectName() == u"frmMain" && w->isVisible())
            return w;
    }
    return nullptr;
}

} // namespace

FileDLG::FileDLG(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::FileDLG>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("FileDLG"));
    ui->List1->installEventFilter(this);
    connect(ui->List1, &QListWidget::itemSelectionChanged, this, &FileDLG::List1_Click);
    connect(ui->List1, &QListWidget::itemDoubleClicked, this, &FileDLG::List1_DblClick);
    connect(ui->OKButton, &QPushButton::clicked, this, &FileDLG::OKButton_Click);
    connect(ui->CancelButton, &QPushButton::clicked, this, &FileDLG::CancelButton_Click);
}

FileDLG::~FileDLG() = default;

FileDLG *FileDLG::instance()
{
    if (!g_instance)
        g_instance = new FileDLG(viewerWindow());
    return g_instance.data();
}

QString FileDLG::GetSaveFile(bool OpenFile, QWidget *parent)
{
    FileDLG *dialog = instance();
    QWidget *owner = parent ? parent->window() : viewerWindow();
    if (owner && owner != dialog && dialog->parentWidget() != owner)
        dialog->setParent(owner, dialog->windowFlags());
    if (!dialog->prepare(OpenFile))
        return {};
    dialog->exec();
    return dialog->m_okPressed ? dialog->m_result : QString();
}

bool FileDLG::prepare(bool openFile)
{
    m_openFile = openFile;
    m_okPressed = false;
    m_result.clear();
    setWindowTitle(openFile ? QStringLiteral("Select a saved layout to use") : QStringLiteral("Save Report Layout"));
    ui->SaveLBL->setVisible(!openFile);
    ui->FileNameTXT->clear();
    ui->List1->clear();

    QString failed;
    if (!makeLayoutFolders(layoutrules::pickerFolders(), failed)) {
        showLayoutFolderFailure(this->parentWidget(), failed);
        return false;
    }
    Form_Load();
    ui->FileNameTXT->setFocus();
    return true;
}

void FileDLG::Form_Load()
{
    // The picker compares the kind exactly, unlike the viewer's open and save.
    m_folder = request().Datapath + layoutrules::layoutFolder(request().ReportKey, Qt::CaseSensitive);
    // Sorted as the users' file systems have always shown the list.
    const QStringList entries =
        QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString &entry : entries) {
        if (layoutrules::isLayoutFileName(entry))
            ui->List1->addItem(entry);
    }
}

void FileDLG::List1_Click()
{
    const QList<QListWidgetItem *> selected = ui->List1->selectedItems();
    if (!selected.isEmpty())
        ui->FileNameTXT->setText(selected.first()->text());
}

void FileDLG::List1_DblClick()
{
    List1_Click();
    OKButton_Click();
}

void FileDLG::List1_KeyDown(int keyCode)
{
    if (keyCode != Qt::Key_Delete)
        return;
    QListWidgetItem *item = ui->List1->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString entry = item->text();
    const int answer = platform::messageBox(this, QStringLiteral("Do you want to delete the layout: ") + entry,
                                            platform::MsgStyle::YesNo | platform::MsgStyle::Question);
    if (answer != platform::MsgResult::Yes)
        return;
    // A file that cannot be deleted leaves the list all the same.
    QFile::remove(m_folder + entry);
    // Removing the entry moves the selection, which is no click of the user's.
    const QSignalBlocker quiet(ui->List1);
    delete ui->List1->takeItem(ui->List1->row(item));
    ui->List1->clearSelection();
}

void FileDLG::OKButton_Click()
{
    QString name = ui->FileNameTXT->text();
    if (name.isEmpty())
        return;
    name = layoutrules::withTxtEnding(name);
    if (!m_openFile) {
        name = layoutrules::cleanName(name);
        ui->FileNameTXT->setText(name);
        if (layoutrules::nameTooLong(name)) {
            platform::messageBox(this, QStringLiteral("File name must be 25 characters or less."),
                                 platform::MsgStyle::Information);
            return;
        }
    }
    m_result = name;
    m_okPressed = true;
    hide();
    done(QDialog::Accepted);
}

void FileDLG::CancelButton_Click()
{
    m_result.clear();
    m_okPressed = false;
    done(QDialog::Rejected);
}

bool FileDLG::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->List1 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete) {
            List1_KeyDown(key->key());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velmora
