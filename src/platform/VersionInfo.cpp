#include "platform/VersionInfo.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr QByteArrayView ElfMagic = "\x7f"
                                    "ELF";
constexpr QByteArrayView TableMagic = "TOCSVER1";
constexpr qsizetype TableHeaderSize = 12;

// Limits far above what a real executable needs. They keep a damaged or hostile file from making the About box
// read or allocate much more than the few hundred bytes the table takes.
constexpr quint64 MaxSectionTableSize = 16 * 1024 * 1024;
constexpr quint64 MaxNameTableSize = 16 * 1024 * 1024;
constexpr quint64 MaxVersionSectionSize = 64 * 1024;

constexpr quint64 ElfSectionNoBits = 8; // SHT_NOBITS: takes no room in the file

// The bytes of an ELF file, read piece by piece; only pieces that lie wholly inside the file are given out.
class TByteSource
{
public:
    virtual ~TByteSource() = default;
    virtual quint64 Size() const = 0;
    std::optional<QByteArray> Read(quint64 offset, quint64 length)
    {
        // Written so that no sum can wrap around, whatever the file claims.
        if (offset > Size() || length > Size() - offset)
            return std::nullopt;
        return ReadInside(offset, length);
    }

protected:
    virtual std::optional<QByteArray> ReadInside(quint64 offset, quint64 length) = 0;
};

class TMemorySource final : public TByteSource
{
public:
    explicit TMemorySource(QByteArrayView bytes) : m_bytes(bytes) {}
    quint64 Size() const override { return quint64(m_bytes.size()); }

protected:
    std::optional<QByteArray> ReadInside(quint64 offset, quint64 length) override
    {
        return m_bytes.sliced(qsizetype(offset), qsizetype(length)).toByteArray();
    }

private:
    QByteArrayView m_bytes;
};

class TFileSource final : public TByteSource
{
public:
    explicit TFileSource(QFile &file) : m_file(file), m_size(quint64(file.size())) {}
    quint64 Size() const override { return m_size; }

protected:
    std::optional<QByteArray> ReadInside(quint64 offset, quint64 length) override
    {
        if (!m_file.seek(qint64(offset)))
            return std::nullopt;
        QByteArray bytes = m_file.read(qint64(length));
        // The file may have shrunk since it was opened.
        if (quint64(bytes.size()) != length)
            return std::nullopt;
        return bytes;
    }

private:
    QFile &m_file;
    quint64 m_size;
};

// An unsigned field of width bytes at offset; the caller has checked that it lies inside bytes.
quint64 Field(const QByteArray &bytes, qsizetype offset, int width, bool bigEndian)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | quint8(bytes[offset + (bigEndian ? i : width - 1 - i)]);
    return value;
}

struct TSection
{
    quint64 Name = 0, Type = 0, Offset = 0, Size = 0;
};

class TElfReader
{
public:
    explicit TElfReader(TByteSource &file) : m_file(file) {}

    std::optional<TVersionInfo> VersionInfo()
    {
        if (!ReadHeader())
            return std::nullopt;
        const std::optional<QByteArray> names = Contents(SectionAt(m_nameIndex), MaxNameTableSize);
        if (!names)
            return std::nullopt;
        for (quint64 i = 0; i < m_count; ++i) {
            const TSection section = SectionAt(i);
            if (!IsNamed(*names, section.Name, VersionInfoSection))
                continue;
            const std::optional<QByteArray> table = Contents(section, MaxVersionSectionSize);
            return table ? TVersionInfo::FromTable(*table) : std::nullopt;
        }
        return std::nullopt;
    }

private:
    bool ReadHeader()
    {
        const std::optional<QByteArray> ident = m_file.Read(0, 16);
        if (!ident || !ident->startsWith(ElfMagic))
            return false;
        const char elfClass = ident->at(4), encoding = ident->at(5), version = ident->at(6);
        if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2) || version != 1)
            return false;
        m_is64 = elfClass == 2;
        m_bigEndian = encoding == 2;
        const std::optional<QByteArray> header = m_file.Read(0, m_is64 ? 64 : 52);
        if (!header)
            return false;
        const quint64 tableOffset =
            m_is64 ? Field(*header, 0x28, 8, m_bigEndian) : Field(*header, 0x20, 4, m_bigEndian);
        m_entrySize = Field(*header, m_is64 ? 0x3A : 0x2E, 2, m_bigEndian);
        m_count = Field(*header, m_is64 ? 0x3C : 0x30, 2, m_bigEndian);
        m_nameIndex = Field(*header, m_is64 ? 0x3E : 0x32, 2, m_bigEndian);
        // A count of 0 with a table present means more than 65279 sections, counted elsewhere; an executable of
        // ours never has that many, so such a file is taken as not ours.
        if (tableOffset == 0 || m_count == 0 || m_entrySize < (m_is64 ? 64u : 40u) || m_nameIndex >= m_count)
            return false;
        if (m_count * m_entrySize > MaxSectionTableSize)
            return false;
        std::optional<QByteArray> table = m_file.Read(tableOffset, m_count * m_entrySize);
        if (!table)
            return false;
        m_table = std::move(*table);
        return true;
    }

    TSection SectionAt(quint64 index) const
    {
        const auto base = qsizetype(index * m_entrySize);
        TSection s;
        s.Name = Field(m_table, base, 4, m_bigEndian);
        s.Type = Field(m_table, base + 4, 4, m_bigEndian);
        s.Offset = m_is64 ? Field(m_table, base + 24, 8, m_bigEndian) : Field(m_table, base + 16, 4, m_bigEndian);
        s.Size = m_is64 ? Field(m_table, base + 32, 8, m_bigEndian) : Field(m_table, base + 20, 4, m_bigEndian);
        return s;
    }

    std::optional<QByteArray> Contents(const TSection &section, quint64 maxSize)
    {
        if (section.Type == ElfSectionNoBits || section.Size > maxSize)
            return std::nullopt;
        return m_file.Read(section.Offset, section.Size);
    }

    static bool IsNamed(const QByteArray &names, quint64 offset, QByteArrayView name)
    {
        if (offset >= quint64(names.size()))
            return false;
        const qsizetype end = names.indexOf('\0', qsizetype(offset));
        return end >= 0 && QByteArrayView(names).sliced(qsizetype(offset), end - qsizetype(offset)) == name;
    }

    TByteSource &m_file;
    bool m_is64 = false;
    bool m_bigEndian = false;
    quint64 m_entrySize = 0;
    quint64 m_count = 0;
    quint64 m_nameIndex = 0;
    QByteArray m_table;
};

} // namespace

std::optional<TVersionInfo> TVersionInfo::FromTable(QByteArrayView table)
{
    if (table.size() < TableHeaderSize || !table.startsWith(TableMagic))
        return std::nullopt;
    const QByteArray lengthBytes = table.sliced(8, 4).toByteArray();
    const quint64 length = Field(lengthBytes, 0, 4, false);
    if (length > quint64(table.size() - TableHeaderSize))
        return std::nullopt;
    const QByteArrayView records = table.sliced(TableHeaderSize, qsizetype(length));
    TVersionInfo info;
    qsizetype pos = 0;
    while (pos < records.size()) {
        const qsizetype pathEnd = records.indexOf('\0', pos);
        const qsizetype valueEnd = pathEnd < 0 ? -1 : records.indexOf('\0', pathEnd + 1);
        if (valueEnd < 0)
            return std::nullopt;
        info.m_records.emplace_back(QString::fromUtf8(records.sliced(pos, pathEnd - pos)),
                                    QString::fromUtf8(records.sliced(pathEnd + 1, valueEnd - pathEnd - 1)));
        pos = valueEnd + 1;
    }
    return info;
}

std::optional<QString> TVersionInfo::Query(QStringView path) const
{
    for (const auto &[recordPath, value] : m_records)
        if (path.compare(recordPath, Qt::CaseInsensitive) == 0)
            return value;
    return std::nullopt;
}

std::optional<TVersionInfo> ParseVersionInfo(QByteArrayView elfImage)
{
    TMemorySource source(elfImage);
    return TElfReader(source).VersionInfo();
}

std::optional<TVersionInfo> ReadVersionInfo(const QString &executablePath)
{
    // Only regular files: opening a FIFO or a device could block or never reach an end.
    if (!QFileInfo(executablePath).isFile())
        return std::nullopt;
    QFile file(executablePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    TFileSource source(file);
    return TElfReader(source).VersionInfo();
}
