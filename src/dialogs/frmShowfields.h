#pragma once

// The field chooser: which columns the grid shows, and in which order.

#include <QDialog>

#include <memory>

namespace velmora {

class ReportGrid;

class frmShowfields : public QDialog {
    Q_OBJECT
public:
    // Shows the chooser modally; on OK hides and shows the grid's columns as chosen and returns
    // true. Cancel or closing leaves the grid untouched and returns false.
    static bool ShowFields(ReportGrid &gr, QWidget *parent = nullptr);

    explicit frmShowfields(QWidget *parent = nullptr);
    ~frmShowfields() override;

private:
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void UpdateButtons();

    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_ok = false;
};

} // namespace velmora
