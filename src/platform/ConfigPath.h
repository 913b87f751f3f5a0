#pragma once

#include <QString>

// Where the settings file lives. executablePath is the running program's full path
// (QCoreApplication::applicationFilePath()).
//
// Beside the executable, with its extension replaced by ".ini" (bin/tocsinet gives bin/tocsinet.ini), when that
// file exists or its folder is writable. Otherwise, as for an installation in a read-only system folder,
// $XDG_CONFIG_HOME/tocsinet/tocsinet.ini, where an unset, empty or relative $XDG_CONFIG_HOME means ~/.config.
QString SettingsFilePath(const QString &executablePath);
