#pragma once

// The view summary: one line each for the shown fields, grouping, sorting and view format, each
// with a button that opens the matching dialog.

#include <QDialog>

#include <memory>

namespace velmora {

class ReportGrid;

class frmSummary : public QDialog {
    Q_OBJECT
public:
    static void ShowSummary(ReportGrid &gr, QWidget *parent = nullptr);

    explicit frmSummary(QWidget *parent = nullptr);
    ~frmSummary() override;

private:
    void RefreshFields();
    void RefreshGroups();
    void RefreshSort();
    void cmdFields_Click();
    void cmdGroup_Click();
    void cmdSort_Click();
    void cmdFormat_Click();
    void cmdOK_Click();

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace velmora
