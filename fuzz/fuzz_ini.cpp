// Feeds arbitrary bytes to the settings file reader as a file's content. Whatever they hold, loading gives values
// or defaults; saving those values and loading the result gives the same values; saving again changes nothing; and
// any text stored as a value reads back unchanged.
#include "app/StoredSettings.h"
#include "platform/IniFile.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The default sound paths derive from the executable's folder.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString name = QStringLiteral("/nonexistent/tocsinet.ini");
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    TIniFile ini(name, bytes);
    const TStoredSettings loaded = LoadStoredSettings(ini);
    WriteStoredSettings(ini, loaded);
    const QByteArray saved = ini.Content();

    TIniFile reread(name, saved);
    if (!(LoadStoredSettings(reread) == loaded))
        std::abort();
    WriteStoredSettings(reread, loaded);
    if (reread.Content() != saved)
        std::abort();

    const QString text = QString::fromUtf8(bytes);
    reread.WriteString(QStringLiteral("Alarm"), QStringLiteral("AlarmSound"), text);
    if (TIniFile(name, reread.Content()).ReadString(QStringLiteral("Alarm"), QStringLiteral("AlarmSound"), {}) != text)
        std::abort();
    return 0;
}
