#pragma once

// The sort dialog: up to four sort levels with their orders. Controls carry their designer names
// as objectNames; elements of a control array are named "name(i)" ("cboGroups(0)", "optOrder(3)").

#include <QDialog>

#include <memory>

namespace velmora {

class ReportGrid;

class frmSort : public QDialog {
    Q_OBJECT
public:
    // Fills the dialog from the grid's sort keys, shows it modally and, when OK was pressed and
    // the levels differ from the keys, re-sorts the grid. The dialog is deleted on every path.
    static void SortGrid(ReportGrid &grid, QWidget *parent = nullptr);

    explicit frmSort(QWidget *parent = nullptr);
    ~frmSort() override;

private:
    void cboGroups_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdClearAll_Click();

    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_ok = false;
};

} // namespace velmora
