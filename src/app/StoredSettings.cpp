#include "app/StoredSettings.h"

#include "platform/FormatSettings.h"
#include "platform/IniFile.h"
#include "platform/SoundFiles.h"

#include <QStringList>

namespace {

const QString Section = QStringLiteral("Alarm");

QString Numbered(const char *key, size_t row)
{
    return QLatin1StringView(key) + QString::number(row + 1);
}

// The user's format first; then the forms that other locales write, so that a file survives a change of locale:
// 24-hour or 12-hour with AM/PM (as the C locale spells it), with ':' or '.' between the fields.
QTime ParseTime(const QString &text)
{
    if (text.isEmpty())
        return {};
    static const QString others[] = {QStringLiteral("H:m:s"), QStringLiteral("h:m:s AP"), QStringLiteral("H.m.s"),
                                     QStringLiteral("h.m.s AP")};
    QTime time = QTime::fromString(text, formatSettings().LongTimeFormat);
    for (const QString &format : others) {
        if (time.isValid())
            break;
        time = QTime::fromString(text, format);
    }
    return time;
}

} // namespace

std::array<bool, 3> TStoredSettings::ChecksToRestore() const
{
    return Alarm.UserMode == 0 ? Check : std::array<bool, 3>{};
}

TStoredSettings LoadStoredSettings(const TIniFile &file)
{
    TStoredSettings s;
    s.MainTop = file.ReadInteger(Section, QStringLiteral("MainTop"), s.MainTop);
    s.MainLeft = file.ReadInteger(Section, QStringLiteral("MainLeft"), s.MainLeft);
    s.MainWidth = file.ReadInteger(Section, QStringLiteral("MainWidth"), s.MainWidth);
    s.MainHeight = file.ReadInteger(Section, QStringLiteral("MainHeight"), s.MainHeight);
    s.Alarm.UserMode = file.ReadInteger(Section, QStringLiteral("UserMode"), s.Alarm.UserMode);
    s.Alarm.AlarmSound = file.ReadString(Section, QStringLiteral("AlarmSound"), DefaultAlarmSound());
    for (size_t row = 0; row < s.Time.size(); ++row) {
        const QTime time = ParseTime(file.ReadString(Section, Numbered("Time", row), QString()));
        if (time.isValid())
            s.Time[row] = time;
    }
    s.Alarm.PreAlarm = file.ReadBool(Section, QStringLiteral("PreAlarm"), s.Alarm.PreAlarm);
    s.Alarm.PreAlarmTimeSec = file.ReadInteger(Section, QStringLiteral("PreAlarmTimeSec"), s.Alarm.PreAlarmTimeSec);
    s.Alarm.PreAlarmSound = file.ReadString(Section, QStringLiteral("PreAlarmSound"), DefaultPreAlarmSound());
    s.Alarm.HostTimeServer = file.ReadString(Section, QStringLiteral("HostTimeServer"), s.Alarm.HostTimeServer);
    for (size_t row = 0; row < s.Check.size(); ++row)
        s.Check[row] = file.ReadBool(Section, Numbered("Check", row), s.Check[row]);
    return s;
}

void WriteStoredSettings(TIniFile &file, const TStoredSettings &s)
{
    file.WriteInteger(Section, QStringLiteral("UserMode"), s.Alarm.UserMode);
    file.WriteString(Section, QStringLiteral("AlarmSound"), s.Alarm.AlarmSound);
    for (size_t row = 0; row < s.Time.size(); ++row)
        file.WriteString(Section, Numbered("Time", row), s.Time[row].toString(formatSettings().LongTimeFormat));
    for (size_t row = 0; row < s.Check.size(); ++row)
        file.WriteBool(Section, Numbered("Check", row), s.Check[row]);
    file.WriteBool(Section, QStringLiteral("PreAlarm"), s.Alarm.PreAlarm);
    file.WriteInteger(Section, QStringLiteral("PreAlarmTimeSec"), s.Alarm.PreAlarmTimeSec);
    file.WriteString(Section, QStringLiteral("PreAlarmSound"), s.Alarm.PreAlarmSound);
    file.WriteString(Section, QStringLiteral("HostTimeServer"), s.Alarm.HostTimeServer);
    file.WriteInteger(Section, QStringLiteral("MainTop"), s.MainTop);
    file.WriteInteger(Section, QStringLiteral("MainLeft"), s.MainLeft);
    file.WriteInteger(Section, QStringLiteral("MainWidth"), s.MainWidth);
    file.WriteInteger(Section, QStringLiteral("MainHeight"), s.MainHeight);
}

bool SaveStoredSettings(TIniFile &file, const TStoredSettings &settings)
{
    WriteStoredSettings(file, settings);
    return file.UpdateFile();
}
