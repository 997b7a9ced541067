#pragma once

// Builds the bytes of an outgoing message with GMime: encoded headers for names and subjects in
// any script, Date and Message-ID, a plain-text part beside the HTML, every inline picture as a
// related part whose Content-ID the HTML refers to, attachments with their file names.

#include "core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace velmora::mail {

struct InlineImage {
    QString contentId;   // without angle brackets; the HTML refers to it as "cid:" + contentId
    QString fileName;    // the bare file name the part carries
    QByteArray data;
};

struct OutgoingMail {
    QString subject;
    QString senderName;
    QString senderAddress;   // also the reply-to address
    QString to;              // as typed: one address or several joined by commas
    QString copyTo;          // copy recipient, may be empty
    QString html;            // empty: a plain-text message
    QString plainText;
    QList<InlineImage> images;
    QStringList attachments; // file paths
};

struct BuiltMail {
    QByteArray bytes;            // the whole message, CR LF line ends
    QString envelopeFrom;
    QStringList envelopeRecipients;
};

// A failure names what could not be used (an unreadable attachment, an address that is no address).
Result<BuiltMail> buildMessage(const OutgoingMail &mail);

// A domain for Message-ID values and content ids.
QString messageDomain(const QString &senderAddress);

} // namespace velmora::mail
