#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace velmora {

// A sectioned key=value settings file with the semantics its users know from the classic profile
// functions:
// - sections ("[name]") and keys are found ignoring letter case and surrounding blanks; lines
//   before the first section belong to a section with an empty name;
// - a key's value is read trimmed, and one pair of matching quotes around it is removed;
// - writing a key that exists changes its line in place; a new key goes after the last entry of
//   its section, a new section at the end of the file;
// - every other line (comments, blank lines, lines without "=", text this class cannot read) is
//   kept byte for byte; lines are written back ending in CR LF;
// - each change is saved through a temporary file and a rename, so a crash or a full disk leaves
//   either the old file or the new one, never a mix.
// The file is UTF-8; a line that is not valid UTF-8 is read as Latin-1.
// Replaces the file at path with data through a temporary file renamed over it when complete, so
// a failure (a full disk, a refused folder) leaves the previous file as it was. Returns the reason
// of a failure ("No space left on device"), or an empty text.
QString replaceFileContents(const QString &path, const QByteArray &data);

class ProfileFile {
public:
    // Sizes of the buffers the settings routines read into, counting the terminating character.
    static constexpr int ValueBufferSize = 255;
    static constexpr int SectionBufferSize = 32000;

    explicit ProfileFile(QString path);

    QString path() const { return m_path; }

    // The value of key in section, cut to bufferSize - 1 characters; def (less trailing blanks,
    // also cut) when the file, section or key is missing.
    QString readString(const QString &section, const QString &key, const QString &def,
                       int bufferSize = ValueBufferSize) const;

    // Every entry of section as "key=value" (or the bare line for an entry without "="), each
    // followed by QChar(0), comments (";" lines) left out. When the list and its final terminator
    // do not fit into bufferSize characters it is cut to bufferSize - 2 characters. Empty when the
    // section is missing.
    QString readSection(const QString &section, int bufferSize = SectionBufferSize) const;

    // Writes key=value into section (created when missing). A null or empty value deletes the
    // key; an empty key deletes the section with all its lines. False when the file could not be
    // read or saved; the file on disk is then unchanged.
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool deleteKey(const QString &section, const QString &key);
    bool deleteSection(const QString &section);

    // The last failure of a write, for a caller that tells the user; empty after a success.
    QString errorString() const { return m_error; }

private:
    struct Line {
        QByteArray raw;        // as in the file, without its line end
        enum Kind { Other, Section, Entry } kind = Other;
        QString name;          // section or key name, trimmed
        QString value;         // entries: the text after "=", trimmed (null without "=")
    };
    static std::vector<Line> parse(const QByteArray &data);
    bool load(std::vector<Line> &lines, bool &exists) const;
    bool save(const std::vector<Line> &lines);

    QString m_path;
    QString m_error;
};

} // namespace velmora
