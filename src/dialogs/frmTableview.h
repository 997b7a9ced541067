#pragma once

// Formatting of the grid's table view: fonts and text colours of headings and rows, new-item row,
// in-cell editing, grid lines, shaded group headings and automatic column sizing.

#include <QDialog>

#include <memory>

namespace velmora {

class ReportGrid;

class frmTableview : public QDialog {
    Q_OBJECT
public:
    // Reads the grid into the dialog, shows it modally and writes the settings back on OK.
    // A font chosen through "Font..." goes to the grid at once (see the .cpp).
    static void FormatGrid(ReportGrid &gr, QWidget *parent = nullptr);

    explicit frmTableview(QWidget *parent = nullptr);
    ~frmTableview() override;

private:
    void cmdfont_Click(int index);
    void chkAllowed_Click();
    void ShowCurrentFonts();
    void cmdOK_Click();
    void cmdCancel_Click();

    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_ok = false;
};

} // namespace velmora
