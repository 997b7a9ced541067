#pragma once

// Columns of hand-made tables, and what a test prints when the engine refuses.

#include "core/result.h"
#include "data/recordtable.h"

#include <QTest>

namespace velmora::test {

inline QString failureText(const Failure &f)
{
    return QStringLiteral("%1 [%2] %3").arg(f.number).arg(f.description, f.engineMessages.join(QStringLiteral(" | ")));
}

inline ColumnInfo column(const char *name, ColumnType type, int typeCode = TypeCode::WideText, int scale = 0)
{
    ColumnInfo c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.typeCode = typeCode;
    c.scale = scale;
    return c;
}

} // namespace velmora::test

#define CHECK_OK(expr)                                                                                                 \
    do {                                                                                                               \
        const auto &r_ = (expr);                                                                                       \
        QVERIFY2(r_.ok(), r_.ok() ? "" : qPrintable(velmora::test::failureText(r_.failure())));                       \
    } while (0)
