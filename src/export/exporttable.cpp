#include "export/exporttable.h"

#include "grid/reportgrid.h"

#include <QDateTime>
#include <QLocale>

namespace velmora {

namespace {

constexpr std::int64_t kMsecsPerDay = 86'400'000;

ExportTable::FieldType fieldTypeOf(const GridColumn &c)
{
    if (c.hasValueList())
        return ExportTable::FieldType::Text;
    switch (c.dataType()) {
    case GridDataType::Number: return ExportTable::FieldType::Double;
    case GridDataType::Date:
    case GridDataType::DateTime: return ExportTable::FieldType::TimeStamp;
    default: return ExportTable::FieldType::Text;
    }
}

bool isNull(const std::uint64_t *bits, int row)
{
    return bits && (bits[row >> 6] >> (row & 63)) & 1u;
}

// A text that does not read as the field's type leaves the field empty.
void parseNumber(const QString &text, ExportTable::Cell &cell)
{
    bool ok = false;
    double v = QLocale::system().toDouble(text, &ok);
    if (!ok)
        v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok) {
        cell.kind = ExportTable::Cell::Real;
        cell.real = v;
    }
}

void parseTime(const QString &text, ExportTable::Cell &cell)
{
    const QString t = text.trimmed();
    QDateTime when = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime(QDate::fromString(t, Qt::ISODate), QTime(0, 0));
    if (!when.isValid())
        when = QDateTime(QLocale::system().toDate(t, QLocale::ShortFormat), QTime(0, 0));
    if (!when.isValid())
        return;
    cell.kind = ExportTable::Cell::Time;
    cell.integer = when.date().toJulianDay() * kMsecsPerDay + when.time().msecsSinceStartOfDay();
}

} // namespace

ExportTable::ExportTable(std::shared_ptr<const RecordTable> table, std::vector<Field> fields, std::vector<std::int32_t> order)
    : m_table(std::move(table)), m_fields(std::move(fields)), m_order(std::move(order))
{
}

ExportTable ExportTable::fromGrid(const ReportGrid &grid)
{
    std::vector<Field> fields;
    for (const GridColumn *c : grid.displayedColumns()) {
        const QString name = c->caption();
        auto same = std::find_if(fields.begin(), fields.end(),
                                 [&name](const Field &f) { return f.name.compare(name, Qt::CaseInsensitive) == 0; });
        // Field names are unique: a second column of that caption feeds the first one's field.
        if (same != fields.end()) {
            same->source = c->sourceColumn();
            continue;
        }
        fields.push_back(Field{name, fieldTypeOf(*c), c->sourceColumn()});
    }
    std::vector<std::int32_t> order;
    const int rows = grid.rowCount();
    order.reserve(std::size_t(rows));
    for (int p = 1; p <= rows; ++p) {
        const GridRow r = grid.row(p);
        if (r.type == GridRowType::Record && r.record >= 0)
            order.push_back(r.record);
    }
    return ExportTable(grid.table(), std::move(fields), std::move(order));
}

ExportTable::Source ExportTable::source(int f) const
{
    Source s;
    const Field &field = m_fields[std::size_t(f)];
    if (field.source < 0 || !m_table)
        return s;
    const RecordTable &t = *m_table;
    const int col = field.source;
    const ColumnType type = t.column(col).type;
    s.column = col;
    s.nulls = t.nullBits(col);
    s.kind = Source::Other;
    switch (field.type) {
    case FieldType::Text:
        if (type == ColumnType::Text) {
            s.kind = Source::Code;
            s.codes = t.textCodeData(col);
        }
        break;
    case FieldType::Double:
        if (type == ColumnType::Integer || type == ColumnType::Boolean) {
            s.kind = Source::Scaled;
            s.integers = t.integerData(col);
            s.scale = type == ColumnType::Boolean ? 0 : t.column(col).scale;
        } else if (type == ColumnType::Double) {
            s.kind = Source::Real;
            s.reals = t.realData(col);
        }
        break;
    case FieldType::TimeStamp:
        if (type == ColumnType::Date) {
            s.kind = Source::Day;
            s.days = t.dateData(col);
        } else if (type == ColumnType::Timestamp) {
            s.kind = Source::Stamp;
            s.integers = t.integerData(col);
        }
        break;
    }
    return s;
}

void ExportTable::read(int r, int f, Cell &cell) const
{
    cell.kind = Cell::Null;
    cell.code = kNoCode;
    const Field &field = m_fields[std::size_t(f)];
    const int col = field.source;
    if (col < 0 || !m_table)
        return;
    const int row = m_order[std::size_t(r)];
    const RecordTable &t = *m_table;
    if (isNull(t.nullBits(col), row))
        return;
    const ColumnInfo &info = t.column(col);
    switch (field.type) {
    case FieldType::Text:
        cell.kind = Cell::Text;
        if (info.type == ColumnType::Text)
            cell.code = t.textCodeData(col)[row];
        else
            cell.text = t.displayText(row, col);
        return;
    case FieldType::Double:
        switch (info.type) {
        case ColumnType::Integer:
        case ColumnType::Boolean:
            cell.kind = Cell::Scaled;
            cell.integer = t.integerData(col)[row];
            cell.scale = info.type == ColumnType::Boolean ? 0 : info.scale;
            return;
        case ColumnType::Double:
            cell.kind = Cell::Real;
            cell.real = t.realData(col)[row];
            return;
        case ColumnType::Text:
            parseNumber(t.text(row, col), cell);
            return;
        default:
            return;
        }
    case FieldType::TimeStamp:
        switch (info.type) {
        case ColumnType::Date:
            cell.kind = Cell::Time;
            cell.integer = std::int64_t(t.dateData(col)[row]) * kMsecsPerDay;
            return;
        case ColumnType::Timestamp:
            cell.kind = Cell::Time;
            cell.integer = t.integerData(col)[row];
            return;
        case ColumnType::Text:
            parseTime(t.text(row, col), cell);
            return;
        default:
            return;
        }
    }
}

} // namespace velmora
