#pragma once

// Shared pieces of the saved-layout tests: a viewer over a small table, and helpers that answer
// the modal windows (the picker, message boxes) the way a user would.

#include "data/recordtable.h"
#include "grid/reportgrid.h"
#include "viewer/FileDLG.h"
#include "viewer/frmMain.h"

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <type_traits>
#include <memory>

namespace velmora::test {

inline std::shared_ptr<RecordTable> layoutTable()
{
    RecordTable::Builder b;
    const char *names[] = {"model", "serial", "description", "store", "cost"};
    for (const char *name : names) {
        ColumnInfo info;
        info.name = QString::fromUtf8(name);
        info.type = ColumnType::Text;
        info.typeCode = TypeCode::WideText;
        b.addColumn(info);
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 5; ++c)
            b.appendText(c, QStringLiteral("v%1%2").arg(r).arg(c));
    }
    return std::make_shared<RecordTable>(b.finish());
}

// A viewer over the table, with the hidden totals column the load step adds.
inline frmMain *layoutViewer()
{
    auto *viewer = new frmMain;
    viewer->setAttribute(Qt::WA_DeleteOnClose, false);
    viewer->Jgrid->setTable(layoutTable());
    GridColumn *totals = viewer->Jgrid->addColumn();
    totals->setTotalsMarker(1);
    totals->setCaption(QStringLiteral("Drag Columns Here to Group"));
    totals->setVisible(false);
    return viewer;
}

// Visible captions in display order.
inline QStringList shownColumns(const ReportGrid &grid)
{
    QStringList shown;
    for (int p = 1; p <= grid.columnCount(); ++p) {
        const GridColumn *c = grid.columnAtPosition(p);
        if (c && c->visible())
            shown.append(c->caption());
    }
    return shown;
}

// Runs `action` on the first modal window of type T that shows after arm(); counts them. The
// watch ends with the object, so a window that never showed leaves nothing behind.
template <typename T>
struct ModalAnswer {
    std::function<void(T *)> action;
    int shown = 0;
    QString text;   // message boxes: their text
    QTimer timer;

    void arm()
    {
        timer.setInterval(5);
        QObject::disconnect(&timer, nullptr, nullptr, nullptr);
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start();
    }
    void poll()
    {
        T *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        timer.stop();
        ++shown;
        if constexpr (std::is_same_v<T, QMessageBox>)
            text = window->text();
        action(window);
    }
};

// A message box answered with the button of the given role (QMessageBox::Yes, No, Ok).
inline void answerBox(QMessageBox *box, QMessageBox::StandardButton button)
{
    if (QAbstractButton *b = box->button(button))
        b->click();
    else
        box->done(button);
}

} // namespace velmora::test
