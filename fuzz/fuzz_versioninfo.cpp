// Feeds arbitrary bytes to the version information reader, both as an executable file and as a bare table.
#include "platform/VersionInfo.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const std::optional<TVersionInfo> info = ParseVersionInfo(bytes))
        static_cast<void>(info->Query(u"\\StringFileInfo\\041004E4\\FileVersion"));
    if (const std::optional<TVersionInfo> info = TVersionInfo::FromTable(bytes))
        static_cast<void>(info->Query(u"\\StringFileInfo\\041004E4\\ProductName"));
    return 0;
}
