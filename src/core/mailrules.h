#pragma once

// Rules of the mail window that need neither a window nor a network: the address book's file
// format, the body rewriting before a send, the "~~recipient~~html" message form, attachment
// lists, the default sender name, the address book's edit mode, and where an SMTP server lives.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace velmora::mailrules {

// ---- Address book file ("vlmoemail.dat") --------------------------------------------------------

struct AddressEntry {
    QString name;      // or store number
    QString address;
    bool operator==(const AddressEntry &) const = default;
};

// Reads the list format the address book is written in: fields separated by commas or line ends;
// a field opened by a double quote runs to the closing quote (commas inside kept), anything after
// it up to the next separator is dropped; an unquoted field ends at a comma or the line's end,
// blanks around it dropped. Fields pair up in file order (name, address); a name left without an
// address at the end of the file gets an empty address. Blank lines hold no field. The bytes are
// UTF-8, or Latin-1 when they are not valid UTF-8 (files written by older tools).
QList<AddressEntry> readAddressBook(const QByteArray &data);

// Each entry as a line of two double-quoted fields, a comma between them, ended by CR LF. A
// double quote cannot be written inside a field; it becomes a single quote.
QByteArray writeAddressBook(const QList<AddressEntry> &entries);

// The entry a new address book starts with.
AddressEntry defaultAddressEntry();

// ---- Address book dialog -----------------------------------------------------------------------

// "add", or "edit" and the row number with a leading blank ("edit 12").
QString editModeText(int row);
// The row an edit mode names (read from its fifth character on), 0 for "add" or anything else.
int editModeRow(const QString &mode);

// The recipient field after an address is picked from the address book: addresses joined by a
// single comma, no blank.
QString addPickedAddress(const QString &recipients, const QString &address);

// ---- Message passed in by the host ---------------------------------------------------------------

// True when the message is an HTML document (starts with "<!doctype html" in any letter case).
bool isHtmlDocument(const QString &message);

struct MarkedMessage {
    bool marked = false;   // the message began with "~~"
    QString recipient;     // the text between the two markers; empty leaves the recipient as it is
    QString body;          // what follows the second marker (the whole message without one)
};
// "~~address~~<html...>": the recipient between the markers, the HTML after them.
MarkedMessage splitMarkedMessage(const QString &message);

// The files of an attachment caption: one path, or paths joined by "|"; empty pieces name nothing.
QStringList attachmentFiles(const QString &caption);

// True when an attachment is the store's transfer file (any letter case).
bool isTransferFile(const QString &caption);

// The sender name used when none is stored: store name, two blanks, "Store:" and the store number
// as a number with a leading blank when it is not negative ("Main St  Store: 12"). A store number
// that is no number is used as it stands.
QString defaultSenderName(const QString &storename, const QString &storeNumber);

// ---- Body rewriting before a send ----------------------------------------------------------------

// Cuts out the first "<base href=...>" tag (exact case); anything else stays.
QString removeBaseReference(const QString &html);

// Every <img src="..."> value reduced to the text after its last "/" (values without one stay).
QString reduceImageSources(const QString &html);

// Points every <img src="name"> whose value is a key of contentIds at "cid:" + its content id,
// so that a mail reader finds the picture among the message's inline parts.
QString referToContentIds(const QString &html, const QHash<QString, QString> &contentIds);

// The file name an image of the body is sent under: the text after the last "/" or "\".
QString bareFileName(const QString &path);

// ---- SMTP server ---------------------------------------------------------------------------------

struct SmtpEndpoint {
    bool valid = false;
    bool implicitTls = false;   // smtps: TLS from the first byte
    QString host;
    int port = 0;
    QString url;                // what libcurl connects to: "smtp://host:25", "smtps://[::1]:465"
};

// The "SMTP server" field: a host name or address, "host:port", "[v6 address]:port", or a URL
// with the scheme smtp:// or smtps://. Without a port, SSL ticked means implicit TLS on 465,
// unticked port 25 (STARTTLS when the server offers it); a port given is used in either mode.
SmtpEndpoint smtpEndpoint(const QString &server, bool useSsl);

} // namespace velmora::mailrules
