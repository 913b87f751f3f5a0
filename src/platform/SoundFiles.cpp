#include "platform/SoundFiles.h"

#include <QCoreApplication>
#include <QDir>

QString SoundsFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tocsinet/sounds"));
}

QString DefaultAlarmSound()
{
    return SoundsFolder() + QStringLiteral("/alarm.wav");
}

QString DefaultPreAlarmSound()
{
    return SoundsFolder() + QStringLiteral("/prealarm.wav");
}
