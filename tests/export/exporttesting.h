#pragma once

// A small report with every kind of value an export meets, and the independent readers of the
// files (readexport.py: /usr/bin/python3 with xlrd, openpyxl and html.parser).

#include "../common/dialogsteps.h"
#include "../common/testservices.h"
#include "../common/tools.h"
#include "../data/datatesting.h"

#include <QDate>
#include <QDateTime>

#include <memory>
#include <optional>

namespace velmora::test {

struct ExportRow {
    const char *model;
    int store;
    qint64 cents;
    std::optional<QDate> daterec;
    std::optional<QDateTime> stamp;
    QString note;
};

inline std::vector<ExportRow> exportRows()
{
    return {
        {"Alpha TV", 1, 129900, QDate(2024, 3, 1), QDateTime(QDate(2024, 3, 1), QTime(14, 5, 9)), QStringLiteral("a|b")},
        {"Bravo <script>alert(1)</script>", 2, 45050, QDate(1850, 6, 1), QDateTime(QDate(2024, 3, 2), QTime(0, 0)),
         QStringLiteral("Zoë & 日本")},
        {"Charlie", 1, 1999, std::nullopt, std::nullopt, QString(300, QLatin1Char('x')) + QStringLiteral("END")},
        {"Delta", 2, -5, QDate(2024, 12, 31), QDateTime(QDate(1900, 2, 28), QTime(12, 0)), QString()},
    };
}

// Columns model, store, cost (2 decimals), daterec (date), stamp (date and time), note.
inline std::shared_ptr<RecordTable> exportTable(const std::vector<ExportRow> &rows = exportRows())
{
    RecordTable::Builder b;
    b.addColumn(column("model", ColumnType::Text, TypeCode::WideText));
    b.addColumn(column("store", ColumnType::Integer, TypeCode::Integer));
    b.addColumn(column("cost", ColumnType::Integer, TypeCode::Numeric, 2));
    b.addColumn(column("daterec", ColumnType::Date, TypeCode::DbDate));
    b.addColumn(column("stamp", ColumnType::Timestamp, TypeCode::DbTimeStamp));
    b.addColumn(column("note", ColumnType::Text, TypeCode::WideText));
    for (const ExportRow &r : rows) {
        b.appendText(0, QString::fromUtf8(r.model));
        b.appendInteger(1, r.store);
        b.appendInteger(2, r.cents);
        r.daterec ? b.appendDate(3, std::int32_t(r.daterec->toJulianDay())) : b.appendNull(3);
        r.stamp ? b.appendTimestamp(4, TimeValue::fromParts(r.stamp->date().toJulianDay(), r.stamp->time().msecsSinceStartOfDay()))
                : b.appendNull(4);
        r.note.isNull() ? b.appendNull(5) : b.appendText(5, r.note);
    }
    return std::make_shared<RecordTable>(b.finish());
}

// An exported file as readexport.py prints it.
inline QString readExport(const QString &file)
{
    const ToolResult r = runTool(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral(VELMORA_SOURCE_DIR "/tests/export/readexport.py"), file});
    return r.exitCode == 0 ? r.output.chopped(r.output.endsWith(u'\n') ? 1 : 0) : QStringLiteral("readexport.py failed: ") + r.output;
}

} // namespace velmora::test
