// GLib's headers name members "signals", which Qt's keyword macro would rewrite: they come first.
#include <gmime/gmime.h>

#include "mail/mimemessage.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include <mutex>

namespace velmora::mail {

namespace {

void initialiseGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Owns one reference of a GObject.
template <typename T>
class Ref {
public:
    explicit Ref(T *p = nullptr) : m_p(p) {}
    ~Ref() { if (m_p) g_object_unref(m_p); }
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    T *get() const { return m_p; }
    operator T *() const { return m_p; }

private:
    T *m_p;
};

Failure failure(const QString &text)
{
    Failure f;
    f.description = text;
    return f;
}

// The mailboxes of an address text, groups flattened. Empty when the text holds none.
QStringList mailboxes(InternetAddressList *list)
{
    QStringList out;
    const int n = internet_address_list_length(list);
    for (int i = 0; i < n; ++i) {
        InternetAddress *a = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(a)) {
            out += mailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(a)));
        } else if (INTERNET_ADDRESS_IS_MAILBOX(a)) {
            const char *addr = internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(a));
            if (addr && *addr)
                out.append(QString::fromUtf8(addr));
        }
    }
    return out;
}

// Parses an address text; returns its mailboxes, and adds the addresses to the message's list of
// the given kind unless message is null.
Result<QStringList> addAddresses(GMimeMessage *message, GMimeAddressType type, const QString &text)
{
    // Commas and semicolons both separate the addresses users type.
    QString normalised = text;
    normalised.replace(u';', u',');
    InternetAddressList *parsed = internet_address_list_parse(nullptr, normalised.toUtf8().constData());
    if (!parsed)
        return failure(QStringLiteral("\"%1\" holds no e-mail address.").arg(text.trimmed()));
    Ref<InternetAddressList> owner(parsed);
    const QStringList found = mailboxes(parsed);
    for (const QString &address : found) {
        if (!address.contains(u'@') || address.startsWith(u'@') || address.endsWith(u'@'))
            return failure(QStringLiteral("\"%1\" is not an e-mail address.").arg(address));
    }
    if (found.isEmpty())
        return failure(QStringLiteral("\"%1\" holds no e-mail address.").arg(text.trimmed()));
    if (message)
        internet_address_list_append(g_mime_message_get_addresses(message, type), parsed);
    return found;
}

GMimePart *filePart(const QByteArray &data, const QString &fileName, const char *disposition)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QStringList kind = type.name().split(u'/');
    const QByteArray major = kind.value(0, QStringLiteral("application")).toUtf8();
    const QByteArray minor = kind.value(1, QStringLiteral("octet-stream")).toUtf8();
    GMimePart *part = g_mime_part_new_with_type(major.constData(), minor.constData());
    Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(data.constData(), std::size_t(data.size())));
    Ref<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper);
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    g_mime_object_set_disposition(GMIME_OBJECT(part), disposition);
    g_mime_part_set_filename(part, fileName.toUtf8().constData());
    return part;
}

GMimeTextPart *textPart(const char *subtype, const QString &text)
{
    GMimeTextPart *part = g_mime_text_part_new_with_subtype(subtype);
    g_mime_text_part_set_text(part, text.toUtf8().constData());
    return part;
}

} // namespace

QString messageDomain(const QString &senderAddress)
{
    const QString domain = senderAddress.section(u'@', -1).trimmed().remove(u'>');
    return senderAddress.contains(u'@') && !domain.isEmpty() ? domain : QStringLiteral("velmora.local");
}

Result<BuiltMail> buildMessage(const OutgoingMail &mail)
{
    initialiseGMime();
    BuiltMail built;
    Ref<GMimeMessage> message(g_mime_message_new(TRUE));

    // Sender: the display name with the sender address, and the same address to reply to.
    {
        Result<QStringList> from = addAddresses(nullptr, GMIME_ADDRESS_TYPE_FROM, mail.senderAddress);
        if (!from)
            return Failure(from.failure());
        built.envelopeFrom = from->constFirst();
        // The display name is set apart from the parse, so a name holding commas or quotes stays one name.
        g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, mail.senderName.toUtf8().constData(),
                                   built.envelopeFrom.toUtf8().constData());
        g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_REPLY_TO, nullptr,
                                   built.envelopeFrom.toUtf8().constData());
    }
    {
        Result<QStringList> to = addAddresses(message, GMIME_ADDRESS_TYPE_TO, mail.to);
        if (!to)
            return Failure(to.failure());
        built.envelopeRecipients = *to;
    }
    if (!mail.copyTo.trimmed().isEmpty()) {
        Result<QStringList> cc = addAddresses(message, GMIME_ADDRESS_TYPE_CC, mail.copyTo);
        if (!cc)
            return Failure(cc.failure());
        built.envelopeRecipients += *cc;
    }

    g_mime_message_set_subject(message, mail.subject.toUtf8().constData(), "utf-8");
    GDateTime *now = g_date_time_new_now_local();
    g_mime_message_set_date(message, now);
    g_date_time_unref(now);
    char *id = g_mime_utils_generate_message_id(messageDomain(built.envelopeFrom).toUtf8().constData());
    g_mime_message_set_message_id(message, id);
    g_free(id);

    // Body: plain text alone, or plain text beside the HTML, the HTML with its pictures.
    GMimeObject *body = nullptr;
    if (mail.html.isEmpty()) {
        body = GMIME_OBJECT(textPart("plain", mail.plainText));
    } else {
        GMimeMultipart *alternative = g_mime_multipart_new_with_subtype("alternative");
        Ref<GMimeTextPart> plain(textPart("plain", mail.plainText));
        g_mime_multipart_add(alternative, GMIME_OBJECT(plain.get()));
        Ref<GMimeTextPart> html(textPart("html", mail.html));
        if (mail.images.isEmpty()) {
            g_mime_multipart_add(alternative, GMIME_OBJECT(html.get()));
        } else {
            Ref<GMimeMultipart> related(g_mime_multipart_new_with_subtype("related"));
            g_mime_object_set_content_type_parameter(GMIME_OBJECT(related.get()), "type", "text/html");
            g_mime_multipart_add(related, GMIME_OBJECT(html.get()));
            for (const InlineImage &image : mail.images) {
                Ref<GMimePart> part(filePart(image.data, image.fileName, "inline"));
                g_mime_part_set_content_id(part, image.contentId.toUtf8().constData());
                g_mime_multipart_add(related, GMIME_OBJECT(part.get()));
            }
            g_mime_multipart_add(alternative, GMIME_OBJECT(related.get()));
        }
        body = GMIME_OBJECT(alternative);
    }
    Ref<GMimeObject> bodyOwner(body);

    GMimeObject *top = body;
    Ref<GMimeMultipart> mixed(mail.attachments.isEmpty() ? nullptr : g_mime_multipart_new_with_subtype("mixed"));
    if (mixed) {
        g_mime_multipart_add(mixed, body);
        for (const QString &path : mail.attachments) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return failure(QStringLiteral("The attachment %1 cannot be read: %2").arg(path, file.errorString()));
            const QByteArray data = file.readAll();
            if (file.error() != QFileDevice::NoError)
                return failure(QStringLiteral("The attachment %1 cannot be read: %2").arg(path, file.errorString()));
            Ref<GMimePart> part(filePart(data, QFileInfo(path).fileName(), "attachment"));
            g_mime_multipart_add(mixed, GMIME_OBJECT(part.get()));
        }
        top = GMIME_OBJECT(mixed.get());
    }
    g_mime_message_set_mime_part(message, top);
    // Every part 7-bit clean: some store servers still refuse 8-bit data.
    g_mime_object_encode(GMIME_OBJECT(message.get()), GMIME_ENCODING_CONSTRAINT_7BIT);

    GMimeFormatOptions *options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    Ref<GMimeStream> out(g_mime_stream_mem_new());
    const ssize_t written = g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options, out);
    g_mime_format_options_free(options);
    if (written < 0)
        return failure(QStringLiteral("The message could not be put together."));
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    built.bytes = QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
    return built;
}

} // namespace velmora::mail
