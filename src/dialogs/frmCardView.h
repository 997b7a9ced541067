#pragma once

// Formatting of the grid's card view: fonts and text colours of card headings and body, in-cell
// editing and the card width (shown in screen pixels, kept by the grid in twips).

#include <QDialog>

#include <memory>

namespace velmora {

class ReportGrid;

class frmCardView : public QDialog {
    Q_OBJECT
public:
    // Reads the grid into the dialog, shows it modally and writes the settings back on OK.
    static void FormatGrid(ReportGrid &gr, QWidget *parent = nullptr);

    // Twips per screen pixel used for the card width; 0 (the default) means the grid's screen's
    // own (1440 / logical DPI). Tests set a fixed value. twipsPerPixel() answers for the primary
    // screen when no value is set.
    static void setTwipsPerPixel(double twipsPerPixel);
    static double twipsPerPixel();

    explicit frmCardView(QWidget *parent = nullptr);
    ~frmCardView() override;

private:
    void cmdfont_Click(int index);
    void ShowCurrentFonts();
    void cmdOK_Click();
    void cmdCancel_Click();

    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_ok = false;
};

} // namespace velmora
