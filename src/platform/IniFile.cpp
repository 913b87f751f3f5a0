#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Bom("\xEF\xBB\xBF");
const QLatin1StringView EscapePrefix("@\"");

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Only spaces and tabs: a wider notion of blank would drop characters that belong to a file name.
QStringView TrimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool IsQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

bool HasControl(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t')
            return true;
    }
    return false;
}

QString Escape(QStringView value)
{
    QString out = EscapePrefix;
    for (QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\";
            break;
        case u'\n':
            out += u"\\n";
            break;
        case u'\r':
            out += u"\\r";
            break;
        case u'\t':
            out += u"\\t";
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    return out + u'"';
}

int HexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// The body of an escaped value; false when it is not one we could have written (then it reads as plain text).
bool Unescape(QStringView body, QString &out)
{
    out.clear();
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] != u'\\') {
            out += body[i];
            continue;
        }
        if (++i == body.size())
            return false;
        switch (body[i].unicode()) {
        case u'\\':
            out += u'\\';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        case u't':
            out += u'\t';
            break;
        case u'x': {
            const int high = i + 2 < body.size() ? HexDigit(body[i + 1]) : -1;
            const int low = high >= 0 ? HexDigit(body[i + 2]) : -1;
            if (low < 0)
                return false;
            out += QChar(char16_t(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

QString DecodeValue(QStringView raw)
{
    const QStringView text = TrimBlanks(raw);
    if (text.size() >= 3 && text.startsWith(EscapePrefix) && text.endsWith(u'"')) {
        QString decoded;
        if (Unescape(text.sliced(2, text.size() - 3), decoded))
            return decoded;
    }
    if (text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front())
        return text.sliced(1, text.size() - 2).toString();
    return text.toString();
}

QString EncodeValue(const QString &value)
{
    if (HasControl(value) || value.startsWith(EscapePrefix))
        return Escape(value);
    const bool quoted = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
    if (quoted || TrimBlanks(value).size() != value.size())
        return u'"' + value + u'"';
    return value;
}

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool ValidName(const QString &name)
{
    return !name.isEmpty() && TrimBlanks(name).size() == name.size() && !HasControl(name);
}

bool WriteAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

// The file that a save must replace: the target of a symbolic link rather than the link itself.
QString ResolvedTarget(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.exists())
        return info.canonicalFilePath();
    if (info.isSymLink())
        return info.symLinkTarget();
    return info.absoluteFilePath();
}

// Writes data to a new file beside target and renames it over target, so that a crash or a full disk leaves
// either the old file or the new one, never a mix.
bool ReplaceFile(const QString &target, const QByteArray &data)
{
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return false;

    struct stat old = {};
    const QByteArray targetPath = QFile::encodeName(target);
    const bool existed = ::stat(targetPath.constData(), &old) == 0;

    QByteArray tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tempPath = QFile::encodeName(QStringLiteral("%1/.%2.%3.tmp")
                                         .arg(folder, info.fileName())
                                         .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0')));
        fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, data);
    if (ok && existed) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        // Only root can give the file back to its owner; anyone else already is the owner.
        if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) && ::fchown(fd, old.st_uid, old.st_gid))
            ok = errno == EPERM;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tempPath.constData(), targetPath.constData()) == 0;
    if (!ok) {
        ::unlink(tempPath.constData());
        return false;
    }
    // Make the rename itself durable; the data is safe either way, so a failure here is not reported.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace

TIniFile::TIniFile(const QString &fileName) : m_fileName(fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        return;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_unreadable = true;
        return;
    }
    Parse(content);
}

TIniFile::TIniFile(const QString &fileName, const QByteArray &content) : m_fileName(fileName)
{
    Parse(content);
}

void TIniFile::Parse(const QByteArray &content)
{
    QByteArray body = content;
    m_bom = body.startsWith(Bom);
    if (m_bom)
        body.remove(0, Bom.size());
    if (body.isEmpty())
        return;
    QList<QByteArray> raws = body.split('\n');
    m_finalNewline = body.endsWith('\n');
    if (m_finalNewline)
        raws.removeLast();
    m_crlf = (raws.size() > 1 || m_finalNewline) && raws.front().endsWith('\r');

    m_lines.reserve(size_t(raws.size()));
    for (QByteArray &raw : raws) {
        TLine line;
        QByteArray text = raw;
        if (text.endsWith('\r'))
            text.chop(1);
        const QString decoded = QString::fromUtf8(text);
        const QStringView trimmed = TrimBlanks(decoded);
        if (trimmed.isEmpty()) {
            line.Kind = TLineKind::Blank;
        } else if (trimmed.front() == u';' || trimmed.front() == u'#') {
            line.Kind = TLineKind::Comment;
        } else if (trimmed.front() == u'[') {
            line.Kind = TLineKind::Section;
            const qsizetype close = trimmed.indexOf(u']');
            line.Name = TrimBlanks(trimmed.sliced(1, (close < 0 ? trimmed.size() : close) - 1)).toString();
        } else if (const qsizetype eq = decoded.indexOf(u'='); eq >= 0) {
            line.Kind = TLineKind::Key;
            line.Name = TrimBlanks(QStringView(decoded).first(eq)).toString();
            line.Value = decoded.sliced(eq + 1);
        } else {
            line.Kind = TLineKind::Other;
        }
        line.Raw = std::move(raw);
        m_lines.push_back(std::move(line));
    }
}

int TIniFile::FindSection(const QString &section) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].Kind == TLineKind::Section && SameName(m_lines[i].Name, section))
            return int(i);
    }
    return -1;
}

int TIniFile::FindKey(int sectionIndex, const QString &key) const
{
    for (size_t i = size_t(sectionIndex) + 1; i < m_lines.size() && m_lines[i].Kind != TLineKind::Section; ++i) {
        if (m_lines[i].Kind == TLineKind::Key && SameName(m_lines[i].Name, key))
            return int(i);
    }
    return -1;
}

const TIniFile::TLine *TIniFile::FindEntry(const QString &section, const QString &key) const
{
    const int s = FindSection(section);
    const int k = s < 0 ? -1 : FindKey(s, key);
    return k < 0 ? nullptr : &m_lines[size_t(k)];
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const TLine *line = FindEntry(section, key);
    return line ? DecodeValue(line->Value) : defaultValue;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const QString text = ReadString(section, key, QString());
    const bool hex = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
    qsizetype i = hex ? 2 : 0;
    const bool negative = !hex && i < text.size() && text[i] == u'-';
    if (!hex && i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    if (i == text.size())
        return defaultValue;
    const int base = hex ? 16 : 10;
    const std::int64_t limit = negative ? std::int64_t(INT32_MAX) + 1 : INT32_MAX;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0 || digit >= base)
            return defaultValue;
        value = value * base + digit;
        if (value > limit)
            return defaultValue;
    }
    return int(negative ? -value : value);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::Insert(int index, TLine line)
{
    if (m_crlf)
        line.Raw += '\r';
    if (size_t(index) == m_lines.size())
        m_finalNewline = true;
    m_lines.insert(m_lines.begin() + index, std::move(line));
}

bool TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    if (!ValidName(section) || section.contains(u']') || !ValidName(key) || key.contains(u'=') || key.front() == u'[' ||
        key.front() == u';' || key.front() == u'#')
        return false;

    int s = FindSection(section);
    if (s < 0) {
        s = int(m_lines.size());
        Insert(s, {(u'[' + section + u']').toUtf8(), TLineKind::Section, section, {}});
    }
    const QString encoded = EncodeValue(value);
    const int k = FindKey(s, key);
    if (k >= 0) {
        TLine &line = m_lines[size_t(k)];
        if (DecodeValue(line.Value) == value)
            return true; // keep the line as the user wrote it
        const bool cr = line.Raw.endsWith('\r');
        line.Raw = (line.Name + u'=' + encoded).toUtf8();
        if (cr)
            line.Raw += '\r';
        line.Value = encoded;
        return true;
    }
    int at = s + 1;
    for (size_t i = size_t(s) + 1; i < m_lines.size() && m_lines[i].Kind != TLineKind::Section; ++i) {
        if (m_lines[i].Kind == TLineKind::Key || m_lines[i].Kind == TLineKind::Other)
            at = int(i) + 1;
    }
    Insert(at, {(key + u'=' + encoded).toUtf8(), TLineKind::Key, key, encoded});
    return true;
}

bool TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    return WriteString(section, key, QString::number(value));
}

bool TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray TIniFile::Content() const
{
    QByteArray out = m_bom ? Bom : QByteArray();
    for (size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i].Raw;
        if (i + 1 < m_lines.size() || m_finalNewline)
            out += '\n';
    }
    return out;
}

bool TIniFile::UpdateFile()
{
    m_error.clear();
    // A file we could not read may hold settings we never saw; replacing it would lose them.
    if (m_unreadable || !ReplaceFile(ResolvedTarget(m_fileName), Content())) {
        m_error = QStringLiteral("Unable to write to %1").arg(QFileInfo(m_fileName).absoluteFilePath());
        return false;
    }
    return true;
}
