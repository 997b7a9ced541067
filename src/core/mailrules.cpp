#include "core/mailrules.h"

#include <QStringDecoder>

#include <cctype>

namespace velmora::mailrules {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QString decodeFileText(const QByteArray &data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (utf8.hasError())
        text = QString::fromLatin1(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

// ---- Address book file ---------------------------------------------------------------------------

QList<AddressEntry> readAddressBook(const QByteArray &data)
{
    const QString text = decodeFileText(data);
    QStringList fields;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto atLineEnd = [&](qsizetype k) { return k >= n || text[k] == u'\r' || text[k] == u'\n'; };
    while (i < n) {
        while (i < n && isBlank(text[i]))
            ++i;
        if (i < n && (text[i] == u'\r' || text[i] == u'\n')) {
            ++i;   // a blank line, or the end of a line after its last field
            continue;
        }
        if (i >= n)
            break;
        QString field;
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? n : close;
            field = text.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
            // Whatever follows the closing quote up to the separator is not part of the field.
            while (!atLineEnd(i) && text[i] != u',')
                ++i;
        } else {
            const qsizetype start = i;
            while (!atLineEnd(i) && text[i] != u',')
                ++i;
            field = text.mid(start, i - start).trimmed();
        }
        fields.append(field);
        if (i < n && text[i] == u',') {
            ++i;
            // A comma at the end of a line leaves an empty field before the line end.
            qsizetype k = i;
            while (k < n && isBlank(text[k]))
                ++k;
            if (atLineEnd(k)) {
                fields.append(QString());
                i = k;
            }
        }
    }
    QList<AddressEntry> entries;
    for (qsizetype f = 0; f < fields.size(); f += 2)
        entries.append({fields[f], f + 1 < fields.size() ? fields[f + 1] : QString()});
    return entries;
}

QByteArray writeAddressBook(const QList<AddressEntry> &entries)
{
    QByteArray out;
    auto field = [](QString s) {
        s.replace(u'"', u'\'');
        s.remove(u'\r');
        s.replace(u'\n', u' ');
        return '"' + s.toUtf8() + '"';
    };
    for (const AddressEntry &e : entries)
        out += field(e.name) + ',' + field(e.address) + "\r\n";
    return out;
}

AddressEntry defaultAddressEntry()
{
    return {QStringLiteral("Velmora Tech Support"), QStringLiteral("support@velmora.example")};
}

// ---- Address book dialog -------------------------------------------------------------------------

QString editModeText(int row)
{
    return QStringLiteral("edit") + (row >= 0 ? QStringLiteral(" ") : QString()) + QString::number(row);
}

int editModeRow(const QString &mode)
{
    if (!mode.startsWith(u"edit"))
        return 0;
    bool ok = false;
    const int row = mode.mid(4).trimmed().toInt(&ok);
    return ok ? row : 0;
}

QString addPickedAddress(const QString &recipients, const QString &address)
{
    QString to = recipients;
    if (!to.isEmpty() && !to.endsWith(u','))
        to = to.trimmed() + u',';
    return to.trimmed() + address;
}

// ---- Message passed in by the host ---------------------------------------------------------------

bool isHtmlDocument(const QString &message)
{
    return message.left(14).toLower() == u"<!doctype html";
}

MarkedMessage splitMarkedMessage(const QString &message)
{
    MarkedMessage m;
    if (!message.startsWith(u"~~")) {
        m.body = message;
        return m;
    }
    m.marked = true;
    const qsizetype second = message.indexOf(u"~~", 2);
    if (second < 0) {
        // No closing marker: nothing names a recipient, so the message is taken whole.
        m.body = message;
        return m;
    }
    m.recipient = message.mid(2, second - 2);
    m.body = message.mid(second + 2);
    return m;
}

QStringList attachmentFiles(const QString &caption)
{
    QStringList files;
    for (const QString &piece : caption.split(u'|')) {
        if (!piece.isEmpty())
            files.append(piece);
    }
    return files;
}

bool isTransferFile(const QString &caption)
{
    return caption.toLower().contains(u"xfervlm.vmx");
}

QString defaultSenderName(const QString &storename, const QString &storeNumber)
{
    bool ok = false;
    const qlonglong number = storeNumber.trimmed().toLongLong(&ok);
    QString shown = storeNumber;
    if (ok)
        shown = (number >= 0 ? QStringLiteral(" ") : QString()) + QString::number(number);
    return storename + QStringLiteral("  Store:") + shown;
}

// ---- Body rewriting ------------------------------------------------------------------------------

QString removeBaseReference(const QString &html)
{
    const qsizetype start = html.indexOf(u"<base href=");
    if (start < 0)
        return html;
    const qsizetype end = html.indexOf(u'>', start + 1);
    if (end < 0 || end >= html.size() - 1)
        return html;
    return html.left(start) + html.mid(end + 1);
}

namespace {

// Position just after the opening quote of the next <img ...src=" value at or after from, or -1;
// -2 (with resume after "src=") for a value that is unquoted or single-quoted. The source is the
// first "src=" after a blank before the tag's first ">", so neither "data-src=" nor a later tag's
// attribute is taken for it. The search stays textual (no quoting is honoured): that keeps the
// rewriting a fixed point, as a second pass must change nothing.
qsizetype nextImageSource(const QString &html, qsizetype from, qsizetype *resume)
{
    for (qsizetype img = html.indexOf(u"<img", from, Qt::CaseInsensitive); img >= 0;
         img = html.indexOf(u"<img", img + 4, Qt::CaseInsensitive)) {
        const qsizetype close = html.indexOf(u'>', img);
        const qsizetype end = close < 0 ? html.size() : close;
        qsizetype src = img + 4;
        while ((src = html.indexOf(u"src=", src, Qt::CaseInsensitive)) >= 0 && src < end && !html[src - 1].isSpace())
            src += 4;
        if (src < 0 || src >= end)
            continue;
        *resume = src + 4;
        if (src + 4 >= html.size() || html[src + 4] != u'"')
            return -2;
        return src + 5;
    }
    return -1;
}

} // namespace

QString reduceImageSources(const QString &html)
{
    QString out = html;
    qsizetype pos = 0;
    while (pos < out.size()) {
        qsizetype after = 0;
        const qsizetype value = nextImageSource(out, pos, &after);
        if (value == -1)
            break;
        if (value == -2) {
            pos = after;
            continue;
        }
        const qsizetype close = out.indexOf(u'"', value);
        if (close < 0)
            break;
        const qsizetype slash = out.lastIndexOf(u'/', close);
        if (slash >= value)
            out.remove(value, slash + 1 - value);
        pos = value;
    }
    return out;
}

QString referToContentIds(const QString &html, const QHash<QString, QString> &contentIds)
{
    QString out = html;
    qsizetype pos = 0;
    while (pos < out.size()) {
        qsizetype after = 0;
        const qsizetype value = nextImageSource(out, pos, &after);
        if (value == -1)
            break;
        if (value == -2) {
            pos = after;
            continue;
        }
        const qsizetype close = out.indexOf(u'"', value);
        if (close < 0)
            break;
        const auto it = contentIds.constFind(out.mid(value, close - value));
        if (it != contentIds.cend()) {
            const QString replacement = QStringLiteral("cid:") + it.value();
            out.replace(value, close - value, replacement);
            pos = value + replacement.size();
        } else {
            pos = close;
        }
    }
    return out;
}

QString bareFileName(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

// ---- SMTP server ---------------------------------------------------------------------------------

SmtpEndpoint smtpEndpoint(const QString &server, bool useSsl)
{
    SmtpEndpoint e;
    QString text = server.trimmed();
    e.implicitTls = useSsl;
    if (text.startsWith(u"smtps://", Qt::CaseInsensitive)) {
        e.implicitTls = true;
        text = text.mid(8);
    } else if (text.startsWith(u"smtp://", Qt::CaseInsensitive)) {
        e.implicitTls = false;
        text = text.mid(7);
    }
    while (text.endsWith(u'/'))
        text.chop(1);

    QString portText;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return e;
        e.host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return e;
            portText = rest.mid(1);
            if (portText.isEmpty())
                return e;
        }
    } else if (text.count(u':') == 1) {
        const qsizetype colon = text.indexOf(u':');
        e.host = text.left(colon);
        portText = text.mid(colon + 1);
        if (portText.isEmpty())
            return e;
    } else {
        e.host = text;   // a bare IPv6 address has several colons and no port
        if (text.contains(u':')) {
            for (QChar c : text) {
                if (c != u':' && c != u'.' && (c.unicode() > 127 || !std::isxdigit(c.unicode())))
                    return e;
            }
        }
    }
    // Characters a URL gives another meaning (user, fragment, query) are no part of a host name.
    for (QChar c : e.host) {
        if (c.unicode() <= 0x20 || c == u'/' || c == u'\\' || c == u'@' || c == u'#' || c == u'?')
            return e;
    }
    if (e.host.isEmpty())
        return e;
    if (portText.isEmpty()) {
        e.port = e.implicitTls ? 465 : 25;
    } else {
        bool ok = false;
        e.port = portText.toInt(&ok);
        if (!ok || e.port <= 0 || e.port > 65535 || portText.startsWith(u'+'))
            return e;
    }
    const QString hostPart = e.host.contains(u':') ? u'[' + e.host + u']' : e.host;
    e.url = (e.implicitTls ? QStringLiteral("smtps://") : QStringLiteral("smtp://")) + hostPart + u':'
            + QString::number(e.port);
    e.valid = true;
    return e;
}

} // namespace velmora::mailrules
