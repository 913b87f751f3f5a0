#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

// The version information that an executable carries about itself (product, version, company, legal lines).
//
// The build stores it in the ELF section named VersionInfoSection as one table:
//
//   offset 0   8 bytes  the magic "TOCSVER1"
//   offset 8   4 bytes  N, the length in bytes of the records, unsigned little-endian
//   offset 12  N bytes  records, one after another: a block path, a NUL byte, its value, a NUL byte
//
// Bytes after the N record bytes are padding and are ignored. A block path names one string of one block, such
// as "\\StringFileInfo\\041004E4\\FileVersion"; paths and values are UTF-8. The records come from
// cmake/VersionInfo.cmake, which generates the table while the executable is built.
class TVersionInfo
{
public:
    // Parses a table in the layout above; nullopt when it is damaged (wrong magic, N past the end of the bytes,
    // a record cut short).
    static std::optional<TVersionInfo> FromTable(QByteArrayView table);

    // The value stored under a block path; nullopt when the table has no such path. Paths are compared without
    // regard to ASCII case; of two records with the same path the first counts.
    std::optional<QString> Query(QStringView path) const;

private:
    std::vector<std::pair<QString, QString>> m_records;
};

// The name of the section that carries the table.
inline constexpr char VersionInfoSection[] = ".tocsinet.version";

// The version information of the executable file at executablePath, read from the file on disk. nullopt when the
// path is not a readable regular file, the file is not ELF, has no such section or the section or table is
// damaged.
std::optional<TVersionInfo> ReadVersionInfo(const QString &executablePath);

// The same for an ELF image already in memory. Every offset and size in it is checked against the image's length.
std::optional<TVersionInfo> ParseVersionInfo(QByteArrayView elfImage);
