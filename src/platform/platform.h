#pragma once

#include <QString>

#include <functional>
#include <memory>

class QSettings;
class QWidget;

namespace velmora::platform {

// Message box style values combine an icon and a button set, as the host's developers know them.
namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
constexpr int HelpButton = 16384;
} // namespace MsgStyle

// Answers.
namespace MsgResult {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MsgResult

// A modal message box (a real QMessageBox, objectName "velmoraMessageBox"). The title defaults to
// the application's name. A Help button opens helpFile at helpTopic and keeps the box open.
int messageBox(QWidget *parent, const QString &text, int style, const QString &title = {},
               const QString &helpFile = {}, int helpTopic = 0);

// The hourglass: nested, each busy(true) undone by one busy(false).
void setBusy(bool on);
// Lets the window system process what is pending (paints, clicks on Cancel).
void processEvents();

// The per-user settings store: organisation and application "Velmora". Tests point it elsewhere
// with QSettings::setPath or XDG_CONFIG_HOME.
std::unique_ptr<QSettings> settings();

// Opens help file `file` at `topic` in the component's help window; a missing file is said in a
// message box.
void showHelp(QWidget *parent, const QString &file, int topic);
// The help file requests that name no file of their own use.
void setDefaultHelpFile(const QString &file);
QString defaultHelpFile();

} // namespace velmora::platform
