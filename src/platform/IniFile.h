#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// An INI settings file held in memory. The whole file is read once by the constructor; reads and writes work on
// that image, and UpdateFile() replaces the file on disk with it in one step.
//
// Reading: section and key names are compared without regard to case; the first matching section and, in it, the
// first matching key count. Spaces and tabs around names and values are dropped, and so is one pair of matching
// quotation marks ("…" or '…') that encloses a value. Lines whose first visible character is ';' or '#' are
// comments. The file is UTF-8 (a leading byte-order mark is kept); bytes that are not UTF-8 read as U+FFFD.
//
// Writing: a value replaces the first matching key in place; a new key goes after the last entry of its section,
// and a new section goes at the end of the file. Every other line (comments, blank lines, other sections, unknown
// keys, the line-end style) is written back byte for byte, and a key whose value does not change keeps its line.
//
// Values are written unchanged unless that would not read back as the same text:
//  - a value with spaces or tabs at either end, or enclosed in matching quotation marks, is wrapped in one more
//    pair of double quotation marks, as other INI readers also expect;
//  - a value holding a line break or another control character other than tab, or one that begins with @",
//    is written as @"…" with C-style escapes (\\ \n \r \t \xHH). No value can add lines, keys or sections.
class TIniFile
{
public:
    // Reads fileName in full. A missing file is an empty image; a file that exists but cannot be read is an empty
    // image too, and UpdateFile() then refuses to replace it.
    explicit TIniFile(const QString &fileName);
    // An image of the given bytes, as if read from fileName.
    TIniFile(const QString &fileName, const QByteArray &content);

    const QString &FileName() const { return m_fileName; }

    // The value of a key; defaultValue when the section or key is missing. An empty value is a value ("").
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, with an optional sign; a text longer than two characters that starts with 0x or 0X is hexadecimal.
    // Anything else, or a number outside the 32-bit signed range, gives defaultValue.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    // An integer (defaultValue as 1 or 0) that is true unless it is 0.
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    // Changes the image only. False, with nothing changed, when a name is empty or could not be read back as
    // written (a line break, '=' in a key, ']' in a section, a key starting with '[', ';' or '#').
    bool WriteString(const QString &section, const QString &key, const QString &value);
    bool WriteInteger(const QString &section, const QString &key, int value); // decimal text
    bool WriteBool(const QString &section, const QString &key, bool value);   // "1" or "0"

    // Replaces the file with the image: written in full to a new file in the same folder (created if missing),
    // flushed to disk, then renamed over the old one, keeping its permissions; a symbolic link is followed. On
    // failure the old file is left as it was, ErrorString() says why and false is returned.
    bool UpdateFile();
    // "Unable to write to <full path>" after a failed UpdateFile(); empty otherwise.
    const QString &ErrorString() const { return m_error; }

    // The bytes that UpdateFile() writes.
    QByteArray Content() const;

private:
    enum class TLineKind : std::uint8_t
    {
        Blank,
        Comment,
        Section,
        Key,
        Other
    };
    struct TLine
    {
        QByteArray Raw; // as in the file, without '\n' (a '\r' of a CRLF file stays)
        TLineKind Kind = TLineKind::Blank;
        QString Name;  // of a section or key
        QString Value; // of a key: the text after '=', not yet trimmed or decoded
    };

    void Parse(const QByteArray &content);
    // Index of the header of the first section with this name, or -1.
    int FindSection(const QString &section) const;
    // Index of the first key line with this name in the section starting at sectionIndex, or -1.
    int FindKey(int sectionIndex, const QString &key) const;
    const TLine *FindEntry(const QString &section, const QString &key) const;
    void Insert(int index, TLine line);

    QString m_fileName;
    std::vector<TLine> m_lines;
    bool m_bom = false;
    bool m_finalNewline = true;
    bool m_crlf = false;
    bool m_unreadable = false;
    QString m_error;
};
