#include "export/exportcommands.h"

#include "core/reportrequest.h"
#include "export/exportformat.h"
#include "export/mExport.h"
#include "mail/EmailFRM.h"
#include "platform/frmSplash.h"
#include "platform/modMain.h"
#include "platform/platform.h"
#include "viewer/frmMain.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

namespace velmora {

namespace {

const QString kShellFolders = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");

bool isFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

QString exportFolder()
{
    const QString documents = GetRegText(HKEY_CURRENT_USER_ROOT, kShellFolders, QStringLiteral("Personal"), {});
    if (isFolder(documents))
        return documents;
    const QString desktop = GetRegText(HKEY_CURRENT_USER_ROOT, kShellFolders, QStringLiteral("Desktop"), {});
    if (isFolder(desktop))
        return desktop;
    // A user without either folder gets the file in the home folder, this platform's nearest to the
    // root of the system drive that is the user's to write in.
    return QDir::homePath();
}

QString exportToFolder(frmMain &viewer, const QString &folder, int kind)
{
    const QString title = request().ReportTitle;
    if (title.contains(QLatin1Char('/')) || title.contains(QChar(0))) {
        platform::messageBox(&viewer,
                             QStringLiteral("The report title \"%1\" holds a \"/\", which a file name cannot hold, so "
                                            "no file was written to \"%2\".\n\nSave the layout under a title without "
                                            "it and export again.")
                                 .arg(title, QDir::toNativeSeparators(folder)),
                             platform::MsgStyle::Exclamation);
        return {};
    }
    QString fileName = exportformat::exportFileName(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'),
                                                    title, QDateTime::currentDateTime(), kind);

    platform::setBusy(true);
    frmSplash *splash = frmSplash::instance();
    // Modal while the file is written: the rows it is written from must not change meanwhile.
    splash->setWindowModality(Qt::ApplicationModal);
    splash->show();
    splash->raise();
    splash->repaint();
    platform::processEvents();
    const Result<int> written = ExportGrid(*viewer.Jgrid, fileName, &viewer);
    platform::processEvents();
    frmSplash::unload();
    platform::setBusy(false);

    if (written.ok())
        return fileName;
    switch (written.failure().number) {
    case ExportError::Cancelled:
        viewer.showStatus(written.failure().description);
        break;
    case ExportError::Declined:
        break;
    default:
        platform::messageBox(&viewer, written.failure().description, platform::MsgStyle::Exclamation);
        break;
    }
    return {};
}

void ExportCommand(frmMain &viewer, int &kind)
{
    const QString file = exportToFolder(viewer, exportFolder(), kind);
    if (!file.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

frmExportOptions::frmExportOptions(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmExportOptions"));
    setWindowTitle(QStringLiteral("Export and E-mail Options"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Choose type of file to Export and E-mail"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(Label1);
    const auto option = [this, layout](const char *name, const char *caption) {
        auto *b = new QRadioButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        layout->addWidget(b);
        return b;
    };
    Option1 = option("Option1", "Export as Excel Spreadsheet");
    Option2 = option("Option2", "Export as HTML file");
    Option3 = option("Option3", "Export as Text file");
    Option1->setChecked(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int frmExportOptions::kind() const
{
    return Option1->isChecked() ? 1 : Option2->isChecked() ? 2 : 3;
}

void frmExportOptions::ShowOptions(frmMain &viewer)
{
    int kind = 0;
    {
        // A fresh dialog each time: the choice is not remembered.
        frmExportOptions dialog(&viewer);
        if (dialog.exec() != QDialog::Accepted)
            return;
        kind = dialog.kind();
    }
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QDir().mkpath(desktop);
    QString file = exportToFolder(viewer, desktop, kind);
    if (file.isEmpty())
        return;
    const ReportRequest &r = request();
    QString subject = r.ReportTitle + QStringLiteral(" from: ") + r.Storename + QStringLiteral(" Store#: ") + r.StoreNumber;
    QString message = subject;
    bool deleteAfterSend = false, fromEOD = false, deleteAllHOfiles = false, autoSend = false;
    QString to;
    // The file stays on the desktop after the mail window closes.
    EmailFRM::instance()->StartMail(subject, message, file, deleteAfterSend, fromEOD, deleteAllHOfiles, to, autoSend);
}

} // namespace velmora
