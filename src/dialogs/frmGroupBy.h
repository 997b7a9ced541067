#pragma once

// The group-by dialog: up to four grouping levels with their orders, and whether the regrouped
// grid opens expanded or collapsed. Controls carry their designer names as objectNames; elements
// of a control array are named "name(i)" ("cboGroups(0)", "optOrder(3)", "Frame1(1)").

#include <QDialog>

#include <memory>

namespace velmora {

class ReportGrid;

class frmGroupBy : public QDialog {
    Q_OBJECT
public:
    // Fills the dialog from the grid's groups, shows it modally and, when OK was pressed and the
    // levels differ from the grid's groups, regroups the grid. The dialog is deleted on every path.
    static void GroupGrid(ReportGrid &grid, QWidget *parent = nullptr);

    explicit frmGroupBy(QWidget *parent = nullptr);
    ~frmGroupBy() override;

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
