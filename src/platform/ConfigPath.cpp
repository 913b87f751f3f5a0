#include "platform/ConfigPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Asked with the effective identity, as the save itself will be made.
bool FolderWritable(const QString &folder)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QString ConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

} // namespace

QString SettingsFilePath(const QString &executablePath)
{
    const QFileInfo exe(executablePath);
    const QString besideExe = exe.absolutePath() + u'/' + exe.completeBaseName() + QStringLiteral(".ini");
    if (QFileInfo::exists(besideExe) || FolderWritable(exe.absolutePath()))
        return besideExe;
    return QDir::cleanPath(ConfigHome() + QStringLiteral("/tocsinet/tocsinet.ini"));
}
