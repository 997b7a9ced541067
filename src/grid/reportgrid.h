#pragma once

#include "data/recordtable.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

class QPrinter;
class QMimeData;
class QPainter;

namespace velmora {

class RecordWriter;
class ReportGrid;

// Column data types the grid reports.
namespace GridDataType {
constexpr int Text = 8;
constexpr int Number = 2;
constexpr int Date = 3;
constexpr int DateTime = 4;
} // namespace GridDataType

// One column of the grid. Owned by the grid; pointers stay valid until the grid is re-bound.
class GridColumn {
public:
    int index() const { return m_index; }             // 1-based, fixed
    QString key() const { return m_key; }              // bound columns: the field name
    int sourceColumn() const { return m_source; }      // RecordTable column, -1 when unbound

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    int position() const;                              // 1-based display position among all columns
    void setPosition(int position);                    // moves the column, shifting the others
    int dataType() const { return m_dataType; }
    bool hasValueList() const { return m_valueList; }
    void setHasValueList(bool on);
    int aggregateFunction() const { return m_aggregate; }   // 0 none, 1 count, 2 sum
    void setAggregateFunction(int function);
    QString totalFormat() const { return m_totalFormat; }   // "#0", "#,##0.00"
    void setTotalFormat(const QString &format);
    QString totalPrefix() const { return m_totalPrefix; }   // "Count:"
    void setTotalPrefix(const QString &prefix);
    int groupPosition() const;                         // 0 when not grouped, else 1-based level
    int sortOrder() const;                             // 0 none, 1 ascending, -1 descending
    int totalsMarker() const { return m_totalsMarker; }
    void setTotalsMarker(int marker);
    int width() const { return m_width; }              // device-independent pixels
    void setWidth(int width);
    void autoSize();                                   // fit the width to caption and visible values

private:
    friend class ReportGrid;
    GridColumn(ReportGrid *grid, int index, QString key, int source, int dataType);
    ReportGrid *m_grid;
    int m_index;
    QString m_key;
    int m_source;
    QString m_caption;
    bool m_visible = true;
    int m_dataType;
    bool m_valueList = false;
    int m_aggregate = 0;
    QString m_totalFormat;
    QString m_totalPrefix;
    int m_totalsMarker = 0;
    int m_width = 100;
};

// A group or sort key: a column index and an order (1 ascending, -1 descending).
struct GridKey {
    int column = 0;
    int order = 1;
};

// The ordered groups or sort keys of a grid. Changes take effect at the grid's next
// regroup()/resort() (adding a group from code regroups, as a user drop does).
class GridKeyList {
public:
    int count() const { return int(m_keys.size()); }
    GridKey item(int i) const { return m_keys.at(std::size_t(i - 1)); }   // 1-based
    void add(int columnIndex, int order);
    void insert(int i, int columnIndex, int order);                     // 1-based, before item i
    void move(int from, int to);                                        // 1-based
    void setOrder(int i, int order);                                    // 1-based
    void remove(int i);                                                 // 1-based
    void clear();

private:
    friend class ReportGrid;
    explicit GridKeyList(ReportGrid *grid, bool groups) : m_grid(grid), m_groups(groups) {}
    ReportGrid *m_grid;
    bool m_groups;
    std::vector<GridKey> m_keys;
};

// Row types.
namespace GridRowType {
constexpr int Record = 0;
constexpr int GroupHeader = 1;
constexpr int GroupFooter = 2;   // totals line under a group (shown when a column has a total)
} // namespace GridRowType

struct GridRow {
    int type = GridRowType::Record;
    int rowIndex = 0;      // records: 1-based record number; group rows: the group's id (stable until regroup)
    int record = -1;       // RecordTable row of a record row, -1 otherwise
    int level = 0;         // group level (1 = outermost) of a group row
    bool expanded = false; // group rows
    int recordCount = 0;   // group rows: records in the group
};

// Hit-test areas.
namespace GridArea {
constexpr int Nowhere = 0;
constexpr int GroupRow = 1;
constexpr int ColumnHeader = 2;
constexpr int Record = 3;
constexpr int GroupByBox = 4;
} // namespace GridArea

struct PrinterSettings {
    int marginLeft = 720;     // twips
    int marginRight = 720;
    int marginTop = 720;
    int marginBottom = 720;
    int orientation = 1;      // 1 portrait, 2 landscape
    bool fitColumnsToPage = false;
    bool repeatHeaders = true;
    // When columns continue on a further page across, the first shown column is printed again at
    // the left of that page, so its rows can still be told apart.
    bool repeatFrozenColumns = false;
    QString headerLeft;       // header text part 1
    QString headerCenter;     // part 2
    QString headerRight;      // part 3
    QString footerLeft;
    QString footerCenter;
    QString footerRight;      // footer part 3 ("Page n of m", set per page through printPage)
};

// The report grid: a grouped, sorted, totalled view over a RecordTable, in table or card view.
class ReportGrid : public QWidget {
    Q_OBJECT
public:
    explicit ReportGrid(QWidget *parent = nullptr);
    ~ReportGrid() override;

    // Binding. Replaces every column with one bound column per table column, clears groups
    // and sort keys. writer (optional) carries edits and deletes back to the database.
    void setTable(std::shared_ptr<RecordTable> table, std::shared_ptr<RecordWriter> writer = {});
    std::shared_ptr<RecordTable> table() const;
    // Ranks the text columns for sorting and grouping on threads of their own, so that the first
    // sort by one is as quick as the next; a new table and the grid's end stop it.
    void rankTextsInBackground();

    // Columns.
    int columnCount() const;
    GridColumn *column(int index) const;                 // 1-based
    GridColumn *columnByKey(QStringView key) const;      // ignoring letter case; nullptr when none
    GridColumn *columnAtPosition(int position) const;    // 1-based display position
    GridColumn *addColumn(const QString &key = {});      // appends an unbound column (empty values)

    GridKeyList &groups();
    GridKeyList &sortKeys();

    // Rows: the visible rows in display order, positions 1..rowCount().
    int rowCount() const;
    GridRow row(int position) const;
    QVariant value(int position, int columnIndex) const;  // records: the cell; group rows: the group value
    QString text(int position, int columnIndex) const;    // as displayed
    void setExpanded(int position, bool expanded);
    int currentRow() const;                               // position, 0 when none
    void setCurrentRow(int position);
    int currentColumn() const;                            // column index, 0 when none
    void setCurrentColumn(int index);
    int firstVisibleRow() const;
    int rowFromPoint(QPoint p) const;                      // 0 when none; p in grid coordinates
    int columnFromPoint(QPoint p) const;                   // column index, 0 when none
    int hitTest(QPoint p) const;                           // GridArea
    void setRedraw(bool on);
    bool redraw() const;
    void refresh();
    // Selected rows as tab-separated text, one line per row (with the captions as the first
    // line when withHeaders).
    QString selectedText(bool withHeaders = false) const;
    int selectedCount() const;
    std::vector<int> selectedPositions() const;
    void selectRows(const std::vector<int> &positions);

    // Settings.
    int viewMode() const;               // 0 table, 1 card
    void setViewMode(int mode);
    bool groupByBoxVisible() const;
    void setGroupByBoxVisible(bool on);
    QFont headingFont() const;
    void setHeadingFont(const QFont &f);
    QFont bodyFont() const;
    void setBodyFont(const QFont &f);
    QColor headingTextColor() const;
    void setHeadingTextColor(const QColor &c);
    QColor bodyTextColor() const;
    void setBodyTextColor(const QColor &c);
    bool allowEdit() const;
    void setAllowEdit(bool on);
    bool allowDelete() const;
    void setAllowDelete(bool on);
    bool allowAddNew() const;           // the new-item row
    void setAllowAddNew(bool on);
    int gridLines() const;              // 0 none, -1 or 2
    void setGridLines(int mode);
    int gridLineStyle() const;          // 0 solid, 1 dashes, 2 small dots
    void setGridLineStyle(int style);
    QColor groupHeadingBackColor() const;
    void setGroupHeadingBackColor(const QColor &c);
    bool columnAutoResize() const;
    void setColumnAutoResize(bool on);
    int cardWidth() const;              // twips
    void setCardWidth(int twips);

    PrinterSettings &printerSettings();

    // Operations.
    void regroup(bool allCollapsed = false);
    void resort();
    void collapseAll();
    void expandAll();
    void moveFirst();
    void moveLast();
    void movePrevious();
    void moveNext();

    // Printing. print() without a printer prints to the default printer (through the print
    // dialog when showDialog); returns false when cancelled or nothing could be printed.
    bool print(bool showDialog, bool selectedOnly, QPrinter *printer = nullptr);
    void printTo(QPrinter *printer, bool selectedOnly);   // paints every page; raises printPage
    bool pageSetupDialog(QPrinter *printer, QWidget *parent);
    void applyPageLayout(QPrinter *printer) const;        // margins and orientation of printerSettings
    int pageCount(QPrinter *printer, bool selectedOnly);  // pages printTo would paint

    // For the views, printing, drag and drop and tests.
    std::vector<GridColumn *> displayedColumns() const;   // visible columns in display order
    // A group header's caption as shown: "caption: value (count)", or what formatRow made of it.
    QString groupCaption(int position) const;
    bool isSelected(int position) const;
    void setFirstVisibleRow(int position);
    void toggleExpanded(int position);
    // Writes a typed cell value back through the writer; false (and writeRefused) when refused.
    bool editCell(int position, int columnIndex, const QString &text);
    // Deletes the selected records through the writer after beforeDelete; false when nothing
    // was deleted (cancelled, refused, nothing selected, deleting not allowed).
    bool deleteSelectedRows();

    // The new-item row: an empty row under the last row of the table view, shown while
    // allowAddNew(), allowEdit() and a writer that can write are all on (the card view has none).
    // It is not a row of the grid: rowCount(), row(), the positions, rowFromPoint() and hitTest()
    // never count it, so record positions stay the same whether it is shown or not. It holds the
    // texts typed into its cells until commitNewRow() inserts them as a record or discardNewRow()
    // drops them.
    bool newRowShown() const;
    QString newRowText(int columnIndex) const;
    void setNewRowText(int columnIndex, const QString &text);
    bool newRowPending() const;   // some cell of the new-item row holds a text
    // Inserts the new-item row's texts through the writer (empty cells are left to the
    // database's defaults) and makes the new record current. False when there was nothing to
    // insert or the insert was refused (writeRefused); a refusal keeps the texts for correction.
    bool commitNewRow();
    void discardNewRow();
    // The data a row drag carries: plain text of the selected rows unless a dragDataRequest
    // handler supplies its own. The caller owns it.
    QMimeData *createDragData();
    QWidget *tableView() const;         // objectName "gridTableView"
    QWidget *cardView() const;          // objectName "gridCardView"
    QWidget *groupByBox() const;        // objectName "groupByBox"
    // Bytes held by the grid for its rows (permutation, visible rows, groups, totals, ranks);
    // the bound table's own memory is not included.
    std::size_t memoryBytes() const;
    // Twips per screen pixel for this widget's screen (15 at 96 dpi).
    double twipsPerPixel() const;

signals:
    void columnHeaderClick(velmora::GridColumn *column);
    void groupHeaderClick(int groupItem);                   // 1-based item of groups()
    void mouseUp(Qt::MouseButton button, QPoint pos);       // pos in grid coordinates
    // key is a Qt::Key value; set it to 0 to swallow the key.
    void keyDown(int &key, Qt::KeyboardModifiers modifiers);
    // character is the typed character's Unicode value; set it to 0 to swallow it.
    void keyPress(int &character);
    void dblClick();
    void formatRow(const velmora::GridRow &row, QString &groupCaption);
    void beforeDelete(bool &cancel);
    void dragStart(int &allowedEffects);
    void dragDataRequest(QMimeData *data);
    void printPage(int page, int pageCount);
    void currentRowChanged(int position);
    // An edit or delete the data layer refused; the grid has restored the old value. When no
    // receiver is connected the grid shows the reason in a message box itself.
    void writeRefused(const QString &reason);
    void rowsChanged();     // rows were regrouped, re-sorted, expanded or collapsed

public:
    // For GridColumn / GridKeyList.
    void columnChanged(GridColumn *column);
    void keysChanged(bool groups);

private:
    friend class GridColumn;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace velmora
