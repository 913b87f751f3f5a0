#pragma once

#include <QString>

// The main window's settings fields that the dialogs edit in place. Each carries the name of its key in the
// settings file.
struct TAlarmSettings
{
    int UserMode = 0; // 0 time alarm, 1 timer alarm; other values are kept but arm rows for midnight
    QString AlarmSound;
    bool PreAlarm = false;
    int PreAlarmTimeSec = 0; // seconds before the target that the pre-alarm starts
    QString PreAlarmSound;
    QString HostTimeServer;

    bool operator==(const TAlarmSettings &) const = default;
};
