#pragma once

// The layout picker: lists the saved layouts of the current report kind, lets the user pick or
// type a name, and deletes layouts with the Delete key.

#include <QDialog>
#include <QString>

#include <memory>

class QListWidget;
class QLineEdit;

namespace Ui {
class FileDLG;
}

namespace velmora {

class FileDLG : public QDialog {
    Q_OBJECT
public:
    explicit FileDLG(QWidget *parent = nullptr);
    ~FileDLG() override;

    // Shows the picker modally over the viewer and returns the chosen file name (with ".txt",
    // without folder), or an empty text when the user cancelled. With OpenFile the picker is in
    // open mode: its caption asks for a saved layout, and typed names are taken as they are.
    // When the kind's layout folder cannot be reached or made, says so and returns empty. The
    // picker is shown over parent's window (the visible viewer when none is given).
    static QString GetSaveFile(bool OpenFile = false, QWidget *parent = nullptr);

    // The one instance, created on first use.
    static FileDLG *instance();

    // Prepares the window for one use: mode, empty result, folders made sure of, list filled.
    // False (after a message) when the layout folder cannot be reached or made.
    bool prepare(bool openFile);
    QString folder() const { return m_folder; }
    QString resultName() const { return m_result; }
    bool isOpenMode() const { return m_openFile; }

private:
    void Form_Load();
    void List1_Click();
    void List1_DblClick();
    void List1_KeyDown(int keyCode);
    void OKButton_Click();
    void CancelButton_Click();
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<Ui::FileDLG> ui;
    bool m_openFile = false;
    bool m_okPressed = false;
    QString m_result;
    QString m_folder;
};

} // namespace velmora
