#pragma once

// The component's help window and the help file format it reads.
//
// A help file (named "velmora.chm" after the compiled help its users know) is here one HTML
// document in UTF-8. Each topic starts at an anchor named "topic<number>", for example
// <a name="topic4"></a> before the viewer's section; a request for topic n shows the document
// scrolled to that anchor, and a request for a topic the file does not have shows it from the top.
// Links between topics are ordinary "#topic<number>" links; images and other files named by
// relative links are looked up beside the help file. A Windows compiled help file (which starts
// with the bytes "ITSF") cannot be read here and is refused with a message.

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace velmora::platform {

// The anchor name of a topic.
QString helpTopicAnchor(int topic);

// The help file to open for `file`: the file itself when it exists, else an entry of its folder
// whose name differs only in letter case (requests spell the name "velmora.chm" and
// "Velmora.chm"); empty when there is none.
QString resolveHelpFile(const QString &file);

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Loads file (when it is not the one shown) and scrolls to the topic.
    void showTopic(const QString &file, int topic);
    QString file() const { return m_file; }
    int topic() const { return m_topic; }
    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser;
    QString m_file;
    int m_topic = 0;
};

// The window a help request shows, or nullptr while none was shown.
HelpWindow *helpWindow();

} // namespace velmora::platform
