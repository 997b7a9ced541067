#pragma once

// Where an export goes and what follows it: the viewer's three export commands write into the
// user's documents folder and open the file; "Export and E-Mail" writes onto the desktop and hands
// the file to the mail window.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QRadioButton;

namespace velmora {

class frmMain;

// The folder of the viewer's export commands: the documents folder, else the desktop, else home.
QString exportFolder();

// Writes the viewer's rows as export kind 1 (".xls"), 2 (".html") or 3 (".txt") into folder under
// "{title} export {time stamp}{ending}", with the hourglass and the splash meanwhile. Returns the
// file written, or an empty text after telling the user what went wrong (nothing is written then).
QString exportToFolder(frmMain &viewer, const QString &folder, int kind);

// The viewer's export command: exportToFolder(exportFolder()), then the file opened with its
// associated program.
void ExportCommand(frmMain &viewer, int &kind);

// "Export and E-mail Options": the kind of file to export and mail.
class frmExportOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmExportOptions(QWidget *parent = nullptr);

    // Shows the dialog modally over the viewer; OK exports onto the desktop and opens the mail
    // window with the file attached.
    static void ShowOptions(frmMain &viewer);

    QLabel *Label1 = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QRadioButton *Option3 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    int kind() const;
};

} // namespace velmora
