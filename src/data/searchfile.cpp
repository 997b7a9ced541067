#include "data/searchfile.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {

namespace {

Failure failure(const QString &description, const QString &engine = {})
{
    Failure f;
    f.description = description;
    if (!engine.isEmpty())
        f.engineMessages << engine;
    return f;
}

struct Db {
    sqlite3 *p = nullptr;
    ~Db() { sqlite3_close(p); }
};

struct Stmt {
    sqlite3_stmt *p = nullptr;
    ~Stmt() { sqlite3_finalize(p); }
};

QString sqliteMessage(sqlite3 *db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

// What the rows of one column actually hold: SQLite stores each value with its own type.
struct Seen {
    bool text = false;
    bool real = false;
    int decimals = 0;   // most digits after the point among the real values
};

int decimalsOf(double v)
{
    const QByteArray s = QByteArray::number(v, 'f', 6);
    const qsizetype dot = s.indexOf('.');
    qsizetype end = s.size();
    while (end > dot + 1 && s[end - 1] == '0')
        --end;
    return int(end - dot - 1);
}

// The column's declared type says what the file's author meant, so it decides the column type and
// values are converted to it; an expression has no declared type, and its values decide.
ColumnInfo typeFromDeclaration(const QString &name, const char *declared, const Seen &seen)
{
    ColumnInfo c;
    c.name = name;
    const QString decl = QString::fromUtf8(declared ? declared : "").toUpper();
    static const QRegularExpression sizeRe(QStringLiteral("\\(\\s*(\\d+)\\s*(?:,\\s*(\\d+)\\s*)?\\)"));
    const auto m = sizeRe.match(decl);
    if (decl.isEmpty()) {
        // An expression: the first row's value decides.
        if (seen.text) {
            c.type = ColumnType::Text;
            c.typeCode = TypeCode::WideText;
        } else if (seen.real) {
            c.type = ColumnType::Double;
            c.typeCode = TypeCode::Double;
            c.definedSize = 8;
        } else {
            c.type = ColumnType::Integer;
            c.typeCode = TypeCode::BigInt;
            c.definedSize = 8;
        }
    } else if (decl.contains(u"NUMERIC") || decl.contains(u"DECIMAL") || decl.contains(u"MONEY")
               || decl.contains(u"CURRENCY")) {
        c.type = ColumnType::Integer;
        c.typeCode = TypeCode::Numeric;
        // Without a declared scale the values decide, with at least two decimals: such columns
        // hold money in these files.
        c.scale = m.hasMatch() && !m.captured(2).isEmpty() ? m.captured(2).toInt() : std::clamp(seen.decimals, 2, 4);
        c.definedSize = 8;
    } else if (decl.contains(u"INT")) {
        c.type = ColumnType::Integer;
        c.typeCode = decl.contains(u"BIG") ? TypeCode::BigInt : decl.contains(u"SMALL") ? TypeCode::SmallInt : TypeCode::Integer;
        c.definedSize = 8;
    } else if (decl.contains(u"BOOL")) {
        c.type = ColumnType::Boolean;
        c.typeCode = TypeCode::Boolean;
        c.definedSize = 1;
    } else if (decl.contains(u"REAL") || decl.contains(u"FLOA") || decl.contains(u"DOUB")) {
        c.type = ColumnType::Double;
        c.typeCode = TypeCode::Double;
        c.definedSize = 8;
    } else if (decl.contains(u"TIMESTAMP") || decl.contains(u"DATETIME")) {
        c.type = ColumnType::Timestamp;
        c.typeCode = TypeCode::DbTimeStamp;
        c.definedSize = 8;
    } else if (decl.contains(u"DATE")) {
        c.type = ColumnType::Date;
        c.typeCode = TypeCode::DbDate;
        c.definedSize = 4;
    } else {
        c.type = ColumnType::Text;
        c.typeCode = decl.contains(u"CLOB") || decl == u"TEXT" ? TypeCode::LongWideText : TypeCode::WideText;
        c.definedSize = m.hasMatch() ? m.captured(1).toInt() : 0;
    }
    return c;
}

std::int64_t pow10i(int n)
{
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Appends column i of the current row, converted to the column's type; a value that does not
// convert (text in a number column) is kept as null rather than guessed.
void appendValue(RecordTable::Builder &b, int col, const ColumnInfo &info, sqlite3_stmt *s)
{
    const int t = sqlite3_column_type(s, col);
    if (t == SQLITE_NULL) {
        b.appendNull(col);
        return;
    }
    auto textOf = [&] {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s, col));
        return QString::fromUtf8(p, sqlite3_column_bytes(s, col)).trimmed();
    };
    switch (info.type) {
    case ColumnType::Integer:
        if (info.scale == 0 && t == SQLITE_INTEGER) {
            b.appendInteger(col, sqlite3_column_int64(s, col));
        } else if (t == SQLITE_INTEGER) {
            b.appendInteger(col, sqlite3_column_int64(s, col) * pow10i(info.scale));
        } else if (t == SQLITE_FLOAT) {
            b.appendInteger(col, std::llround(sqlite3_column_double(s, col) * double(pow10i(info.scale))));
        } else {
            bool ok = false;
            const double v = textOf().toDouble(&ok);
            if (ok)
                b.appendInteger(col, std::llround(v * double(pow10i(info.scale))));
            else
                b.appendNull(col);
        }
        break;
    case ColumnType::Boolean: b.appendInteger(col, sqlite3_column_int64(s, col) != 0 ? 1 : 0); break;
    case ColumnType::Double:
        if (t == SQLITE_TEXT) {
            bool ok = false;
            const double v = textOf().toDouble(&ok);
            if (ok)
                b.appendReal(col, v);
            else
                b.appendNull(col);
        } else {
            b.appendReal(col, sqlite3_column_double(s, col));
        }
        break;
    case ColumnType::Date: {
        const QDate d = QDate::fromString(textOf().left(10), Qt::ISODate);
        if (d.isValid())
            b.appendDate(col, std::int32_t(d.toJulianDay()));
        else
            b.appendNull(col);
        break;
    }
    case ColumnType::Timestamp: {
        QString text = textOf();
        text.replace(QLatin1Char(' '), QLatin1Char('T'));
        const QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (dt.isValid())
            b.appendTimestamp(col, TimeValue::fromParts(dt.date().toJulianDay(), dt.time().msecsSinceStartOfDay()));
        else
            b.appendNull(col);
        break;
    }
    case ColumnType::Text: {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s, col));
        b.appendTextUtf8(col, p, sqlite3_column_bytes(s, col));
        break;
    }
    }
}

} // namespace

Result<std::shared_ptr<RecordTable>> loadSearchFile(const QString &path, const QString &password, const QString &sql)
{
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile())
        return failure(QStringLiteral("The customer search file \"%1\" does not exist.").arg(path));

    Db db;
    // Never with SQLITE_OPEN_CREATE: a missing file must stay an error, not become an empty one.
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &db.p, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return failure(QStringLiteral("The customer search file \"%1\" could not be opened.").arg(path),
                       db.p ? sqliteMessage(db.p) : QString());

    const QByteArray key = password.toUtf8();
    // An empty key would mean "not encrypted"; unkeyed, an encrypted file fails at the first read.
    if (!key.isEmpty() && sqlite3_key(db.p, key.constData(), int(key.size())) != SQLITE_OK)
        return failure(QStringLiteral("The customer search file \"%1\" could not be unlocked.").arg(path),
                       sqliteMessage(db.p));

    // A plain SQLite library linked by mistake would accept the key and ignore it.
    {
        Stmt s;
        bool haveCipher = false;
        if (sqlite3_prepare_v2(db.p, "PRAGMA cipher_version", -1, &s.p, nullptr) == SQLITE_OK
            && sqlite3_step(s.p) == SQLITE_ROW) {
            const unsigned char *v = sqlite3_column_text(s.p, 0);
            haveCipher = v && *v;
        }
        if (!haveCipher)
            return failure(QStringLiteral("The customer search file cannot be read: this program was built without "
                                          "encryption support (SQLCipher)."));
    }

    // The key is only tried at the first read of the file.
    {
        Stmt s;
        int rc = sqlite3_prepare_v2(db.p, "SELECT count(*) FROM sqlite_master", -1, &s.p, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(s.p);
        if (rc != SQLITE_ROW) {
            const QString engine = sqliteMessage(db.p);
            if (rc == SQLITE_NOTADB)
                return failure(QStringLiteral("The customer search file \"%1\" could not be opened: the password is "
                                              "wrong or the file is not a customer search file.")
                                   .arg(path),
                               engine);
            return failure(QStringLiteral("The customer search file \"%1\" could not be read.").arg(path), engine);
        }
    }

    Stmt s;
    const QByteArray query = sql.toUtf8();
    if (sqlite3_prepare_v2(db.p, query.constData(), int(query.size()), &s.p, nullptr) != SQLITE_OK)
        return failure(QStringLiteral("The customer search query failed."), sqliteMessage(db.p));
    const int columns = sqlite3_column_count(s.p);

    // First pass: what the rows hold, for columns whose declaration leaves it open.
    std::vector<Seen> seen(static_cast<std::size_t>(columns));
    int rc;
    while ((rc = sqlite3_step(s.p)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            Seen &k = seen[std::size_t(c)];
            switch (sqlite3_column_type(s.p, c)) {
            case SQLITE_TEXT:
            case SQLITE_BLOB: k.text = true; break;
            case SQLITE_FLOAT:
                k.real = true;
                k.decimals = std::max(k.decimals, decimalsOf(sqlite3_column_double(s.p, c)));
                break;
            default: break;
            }
        }
    }
    if (rc != SQLITE_DONE)
        return failure(QStringLiteral("The customer search query failed."), sqliteMessage(db.p));
    sqlite3_reset(s.p);

    RecordTable::Builder b;
    std::vector<ColumnInfo> infos;
    for (int c = 0; c < columns; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(s.p, c));
        ColumnInfo info = typeFromDeclaration(name, sqlite3_column_decltype(s.p, c), seen[std::size_t(c)]);
        if (const char *table = sqlite3_column_table_name(s.p, c))
            info.relation = QString::fromUtf8(table);
        if (const char *origin = sqlite3_column_origin_name(s.p, c))
            info.sourceField = QString::fromUtf8(origin);
        infos.push_back(info);
        b.addColumn(info);
    }
    rc = sqlite3_step(s.p);
    while (rc == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c)
            appendValue(b, c, infos[std::size_t(c)], s.p);
        rc = sqlite3_step(s.p);
    }
    if (rc != SQLITE_DONE)
        return failure(QStringLiteral("The customer search file could not be read to the end."), sqliteMessage(db.p));
    return std::make_shared<RecordTable>(b.finish());
}

} // namespace velmora
