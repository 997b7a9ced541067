#include "mail/smtptransport.h"

#include "core/mailrules.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace velmora::mail {

namespace {

void initialiseCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL *e) const { curl_easy_cleanup(e); }
};
struct MultiDeleter {
    void operator()(CURLM *m) const { curl_multi_cleanup(m); }
};
struct ListDeleter {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

QString replyText(const QByteArray &lines)
{
    QString text = QString::fromUtf8(lines).trimmed();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

// What the callbacks of one send share.
struct SmtpTransport::Call {
    SmtpTransport *owner = nullptr;
    const QByteArray *message = nullptr;
    qsizetype sent = 0;
    QByteArray pendingReply;   // lines of a multi-line reply not yet complete
    QByteArray lastFailure;    // the last reply with a 4xx or 5xx code, all its lines

    static size_t read(char *buffer, size_t size, size_t count, void *user)
    {
        auto *call = static_cast<Call *>(user);
        const qsizetype left = call->message->size() - call->sent;
        const qsizetype n = std::min<qsizetype>(left, qsizetype(size * count));
        std::memcpy(buffer, call->message->constData() + call->sent, std::size_t(n));
        call->sent += n;
        return std::size_t(n);
    }

    static int progress(void *user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow)
    {
        auto *call = static_cast<Call *>(user);
        if (ultotal > 0) {
            const int percent = int(std::min<curl_off_t>(100, ulnow * 100 / ultotal));
            if (percent > call->owner->m_percent.load(std::memory_order_relaxed))
                call->owner->m_percent.store(percent, std::memory_order_relaxed);
        }
        return call->owner->cancelRequested() ? 1 : 0;
    }

    // The server's replies arrive here line by line; nothing we send is kept (it may hold AUTH).
    static int debug(CURL *, curl_infotype type, char *data, size_t size, void *user)
    {
        if (type != CURLINFO_HEADER_IN)
            return 0;
        auto *call = static_cast<Call *>(user);
        const QByteArray line(data, qsizetype(size));
        call->pendingReply += line;
        if (line.size() >= 4 && line[3] == '-')
            return 0;   // more lines of this reply follow
        if (line.size() >= 3 && (line[0] == '4' || line[0] == '5'))
            call->lastFailure = call->pendingReply;
        call->pendingReply.clear();
        return 0;
    }
};

namespace {
std::mutex caMutex;
QString caFileForAll;
} // namespace

void SmtpTransport::setDefaultCaFile(const QString &file)
{
    const std::lock_guard lock(caMutex);
    caFileForAll = file;
}

QString SmtpTransport::defaultCaFile()
{
    const std::lock_guard lock(caMutex);
    return caFileForAll;
}

SmtpTransport::SmtpTransport()
{
    initialiseCurl();
}

SmtpTransport::~SmtpTransport() = default;

SendOutcome SmtpTransport::run(const SmtpAccount &account, const QString &from, const QStringList &recipients,
                               const QByteArray &message)
{
    m_percent.store(0);
    SendOutcome outcome;
    const mailrules::SmtpEndpoint endpoint = mailrules::smtpEndpoint(account.server, account.useSsl);
    if (!endpoint.valid) {
        outcome.errorText = QStringLiteral("\"%1\" is not an SMTP server name. Enter a host name, or a host name, "
                                           "a colon and a port number.").arg(account.server);
        return outcome;
    }

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        outcome.errorText = QStringLiteral("The mail library could not start a send.");
        return outcome;
    }
    CURL *e = easy.get();
    Call call;
    call.owner = this;
    call.message = &message;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    const QByteArray url = endpoint.url.toUtf8();
    const QByteArray mailFrom = '<' + from.toUtf8() + '>';
    curl_slist *list = nullptr;
    for (const QString &r : recipients) {
        const QByteArray address = '<' + r.toUtf8() + '>';
        curl_slist *grown = curl_slist_append(list, address.constData());
        if (!grown) {
            curl_slist_free_all(list);
            outcome.errorText = QStringLiteral("Out of memory.");
            return outcome;
        }
        list = grown;
    }
    std::unique_ptr<curl_slist, ListDeleter> rcpt(list);
    const QByteArray user = account.user.toUtf8();
    const QByteArray password = account.password.toUtf8();
    const QByteArray caFile = (account.caFile.isEmpty() ? defaultCaFile() : account.caFile).toUtf8();

    curl_easy_setopt(e, CURLOPT_URL, url.constData());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(e, CURLOPT_MAIL_FROM, mailFrom.constData());
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, rcpt.get());
    // A refused recipient fails the whole send: the user then sees which address the server
    // refused and sends again, rather than believing a mail arrived everywhere when it did not.
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT_ALLLOWFAILS, 0L);
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(e, CURLOPT_READFUNCTION, &Call::read);
    curl_easy_setopt(e, CURLOPT_READDATA, &call);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Call::progress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &call);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, &Call::debug);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &call);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, long(account.connectTimeoutSeconds));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(account.stallSeconds));
    // A password never travels in the clear: without TLS from the start, STARTTLS is required.
    curl_easy_setopt(e, CURLOPT_USE_SSL, long(account.password.isEmpty() ? CURLUSESSL_TRY : CURLUSESSL_ALL));
    if (!caFile.isEmpty())
        curl_easy_setopt(e, CURLOPT_CAINFO, caFile.constData());
    if (!account.user.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(e, CURLOPT_PASSWORD, password.constData());
    }

    curl_multi_add_handle(multi.get(), e);
    CURLcode result = CURLE_OK;
    bool finished = false;
    while (!finished) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(multi.get(), &running);
        if (mc != CURLM_OK) {
            result = CURLE_SEND_ERROR;
            std::strncpy(errorBuffer, curl_multi_strerror(mc), CURL_ERROR_SIZE - 1);
            break;
        }
        int queued = 0;
        while (CURLMsg *msg = curl_multi_info_read(multi.get(), &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                result = msg->data.result;
                finished = true;
            }
        }
        if (finished)
            break;
        // A short wait, so that a cancel ends even a send stuck waiting for the server at once.
        if (cancelRequested()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr);
    }
    curl_multi_remove_handle(multi.get(), e);

    if (result == CURLE_OK) {
        m_percent.store(100);
        outcome.sent = true;
        return outcome;
    }
    const QString server = replyText(call.lastFailure);
    QString library = QString::fromUtf8(errorBuffer).trimmed();
    if (library.isEmpty())
        library = QString::fromUtf8(curl_easy_strerror(result));
    QString ours;
    switch (result) {
    case CURLE_ABORTED_BY_CALLBACK:
        outcome.cancelled = true;
        ours = QStringLiteral("Sending was cancelled; the message was not sent.");
        library.clear();
        break;
    case CURLE_USE_SSL_FAILED:
        ours = QStringLiteral("The server %1 offers no encrypted connection, so the password was not sent. "
                              "Tick \"Send using SSL on port 465\" or enter the server's secure port.")
                   .arg(endpoint.host + u':' + QString::number(endpoint.port));
        break;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
        ours = QStringLiteral("The SMTP server %1 could not be reached.")
                   .arg(endpoint.host + u':' + QString::number(endpoint.port));
        break;
    case CURLE_OPERATION_TIMEDOUT:
        ours = QStringLiteral("The SMTP server %1 did not answer in time. If it expects SSL from the start, tick "
                              "\"Send using SSL on port 465\".")
                   .arg(endpoint.host + u':' + QString::number(endpoint.port));
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        ours = QStringLiteral("The certificate of the SMTP server %1 could not be verified, so nothing was sent.")
                   .arg(endpoint.host);
        break;
    default:
        break;
    }
    QStringList parts;
    for (const QString &p : {ours, server, library}) {
        if (!p.isEmpty())
            parts.append(p);
    }
    outcome.errorText = parts.join(u'\n');
    return outcome;
}

} // namespace velmora::mail
