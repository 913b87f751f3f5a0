#pragma once

#include "dialogs/AlarmSettings.h"

#include <QTime>

#include <array>

class TIniFile;

// Every value that the settings file keeps, in section "Alarm". Default-constructed, it holds the defaults that
// a missing or unreadable key gives, except the two sound paths, which LoadStoredSettings fills in.
//
// What the main window does with it at its first show, after LoadStoredSettings: move to MainLeft/MainTop (as read,
// even off-screen) and apply MainWidth/MainHeight (its fixed size undoes them), copy Alarm into its settings
// fields and Time into the three pickers' time of day, then tick the boxes that ChecksToRestore() names, row 1 to
// 3, each running its click handler as a user's tick would. At the close it fills a record from its current
// geometry, fields, pickers and boxes (in either user mode) and calls SaveStoredSettings.
struct TStoredSettings
{
    int MainLeft = 100;
    int MainTop = 100;
    int MainWidth = 302;
    int MainHeight = 227;
    TAlarmSettings Alarm{.UserMode = 0,
                         .AlarmSound = {},
                         .PreAlarm = false,
                         .PreAlarmTimeSec = 10,
                         .PreAlarmSound = {},
                         .HostTimeServer = QStringLiteral("pool.ntp.org")};
    std::array<QTime, 3> Time{QTime(0, 0, 1), QTime(0, 0, 1), QTime(0, 0, 1)}; // "Time1" to "Time3"
    std::array<bool, 3> Check{};                                               // "Check1" to "Check3"

    bool operator==(const TStoredSettings &) const = default;

    // The boxes to tick at start-up: the stored ones in time-alarm mode (UserMode 0), none in any other mode,
    // where a tick would start a count-down.
    std::array<bool, 3> ChecksToRestore() const;
};

// Reads every key; a missing file, section or key, or a value that cannot be read in its form, gives the default.
// A time is read in the user's long time format, else as H:M:S (24-hour or with AM/PM, ':' or '.' between), else
// it is 00:00:01.
TStoredSettings LoadStoredSettings(const TIniFile &file);

// Writes every key into the file's image, in this order: UserMode, AlarmSound, Time1-3, Check1-3, PreAlarm,
// PreAlarmTimeSec, PreAlarmSound, HostTimeServer, MainTop, MainLeft, MainWidth, MainHeight. Integers as decimal
// text, booleans as 1 or 0, times in the user's long time format, texts as they are.
void WriteStoredSettings(TIniFile &file, const TStoredSettings &settings);

// WriteStoredSettings, then the file's UpdateFile(). False when the file could not be written; the old file is
// then intact and file.ErrorString() holds the message for the user ("Unable to write to <path>").
bool SaveStoredSettings(TIniFile &file, const TStoredSettings &settings);
