#include "support/TestSupport.h"

#include "app/StoredSettings.h"
#include "platform/FormatSettings.h"
#include "platform/IniFile.h"
#include "platform/SoundFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <optional>

namespace {

TStoredSettings Defaults()
{
    TStoredSettings s;
    s.Alarm.AlarmSound = DefaultAlarmSound();
    s.Alarm.PreAlarmSound = DefaultPreAlarmSound();
    return s;
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

// Each test fixes the time format it writes and reads with, and gets a folder for its file.
class StoredSettingsFile : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        formatSettings().LongTimeFormat = u"HH:mm:ss"_s;
    }
    void TearDown() override { formatSettings() = m_savedFormats; }
    QString Path() const { return m_dir.filePath(u"tocsinet.ini"_s); }
    void WriteFile(const QByteArray &bytes) const
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
    const FormatSettings m_savedFormats = formatSettings();
};

struct TLoadCase
{
    const char *name;
    std::optional<QByteArray> file;            // none: no file at all
    void (*expect)(TStoredSettings &defaults); // turns the defaults into the expected record
    std::array<bool, 3> restore{};             // boxes the window ticks at start-up
    const char *timeFormat = "HH:mm:ss";       // the user's long time format while loading
    friend void PrintTo(const TLoadCase &c, std::ostream *os) { *os << c.name; }
};

class StoredSettingsLoad : public StoredSettingsFile, public testing::WithParamInterface<TLoadCase>
{
};

TEST_P(StoredSettingsLoad, GivesStoredValuesOrDefaults)
{
    const TLoadCase &c = GetParam();
    if (c.file)
        WriteFile(*c.file);
    formatSettings().LongTimeFormat = QString::fromLatin1(c.timeFormat);
    TStoredSettings expected = Defaults();
    c.expect(expected);

    const TStoredSettings loaded = LoadStoredSettings(TIniFile(Path()));
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(loaded.ChecksToRestore(), c.restore);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredSettingsLoad,
    testing::Values(
        TLoadCase{"no_file", std::nullopt, [](TStoredSettings &) {}},
        TLoadCase{"other_section_only", "[Other]\nUserMode=1\nMainTop=5\n", [](TStoredSettings &) {}},
        TLoadCase{"timer_mode_restores_no_box", "[Alarm]\nUserMode=1\nCheck1=1\n",
                  [](TStoredSettings &s) {
                      s.Alarm.UserMode = 1;
                      s.Check[0] = true;
                  }},
        TLoadCase{"time_mode_restores_boxes",
                  "[Alarm]\nCheck1=1\nCheck3=7\n",
                  [](TStoredSettings &s) {
                      s.Check = {true, false, true};
                  },
                  {true, false, true}},
        TLoadCase{"main_width_as_stored", "[Alarm]\nMainWidth=500\nMainLeft=-20\n",
                  [](TStoredSettings &s) {
                      s.MainWidth = 500;
                      s.MainLeft = -20;
                  }},
        TLoadCase{"pre_alarm_time_in_hex", "[Alarm]\nPreAlarmTimeSec=0x1E\n",
                  [](TStoredSettings &s) { s.Alarm.PreAlarmTimeSec = 30; }},
        TLoadCase{"pre_alarm_two_is_on", "[Alarm]\nPreAlarm=2\n", [](TStoredSettings &s) { s.Alarm.PreAlarm = true; }},
        TLoadCase{"unreadable_numbers_give_defaults", "[Alarm]\nMainTop=abc\nUserMode=\nPreAlarm=yes\n",
                  [](TStoredSettings &) {}},
        TLoadCase{"time_that_is_no_time", "[Alarm]\nTime1=abc\nTime2=25:00:00\nTime3=\n", [](TStoredSettings &) {}},
        TLoadCase{"time_in_user_format",
                  "[Alarm]\nTime1=7.05.09 PM\n",
                  [](TStoredSettings &s) { s.Time[0] = QTime(19, 5, 9); },
                  {},
                  "h.mm.ss AP"},
        TLoadCase{"times_of_other_locales",
                  "[Alarm]\nTime1=19:05:09\nTime2=7:05:09 PM\nTime3=07.30.00\n",
                  [](TStoredSettings &s) {
                      s.Time = {QTime(19, 5, 9), QTime(19, 5, 9), QTime(7, 30)};
                  },
                  {},
                  "h 'h' mm 'min' ss 's'"},
        TLoadCase{"quoted_and_empty_texts",
                  "[Alarm]\nAlarmSound=\"/home/me/my ring.wav\"\nPreAlarmSound=\nHostTimeServer='ntp.example'\n",
                  [](TStoredSettings &s) {
                      s.Alarm.AlarmSound = u"/home/me/my ring.wav"_s;
                      s.Alarm.PreAlarmSound = u""_s;
                      s.Alarm.HostTimeServer = u"ntp.example"_s;
                  }}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(StoredSettingsFile, RoundTripsEveryKey)
{
    TStoredSettings saved;
    saved.MainLeft = -40;
    saved.MainTop = 2000;
    saved.MainWidth = 302;
    saved.MainHeight = 227;
    saved.Alarm = {.UserMode = 1,
                   .AlarmSound = u"/home/me/odd\n[Alarm]\nUserMode=0\n.wav"_s,
                   .PreAlarm = true,
                   .PreAlarmTimeSec = -3,
                   .PreAlarmSound = u" \"beep\".wav"_s,
                   .HostTimeServer = u"ntp.città.example"_s};
    saved.Time = {QTime(0, 0), QTime(12, 34, 56), QTime(23, 59, 59)};
    saved.Check = {true, false, true};

    TIniFile out(Path());
    ASSERT_TRUE(SaveStoredSettings(out, saved));
    EXPECT_EQ(LoadStoredSettings(TIniFile(Path())), saved);
    EXPECT_EQ(ReadBytes(Path()).count('\n'), 17); // the header and one line per key
}

TEST_F(StoredSettingsFile, NewFileHoldsTheKeysInWriteOrder)
{
    TIniFile ini(Path());
    ASSERT_TRUE(SaveStoredSettings(ini, LoadStoredSettings(ini)));
    EXPECT_EQ(ReadBytes(Path()), "[Alarm]\n"
                                 "UserMode=0\n"
                                 "AlarmSound=" +
                                     DefaultAlarmSound().toUtf8() +
                                     "\n"
                                     "Time1=00:00:01\n"
                                     "Time2=00:00:01\n"
                                     "Time3=00:00:01\n"
                                     "Check1=0\n"
                                     "Check2=0\n"
                                     "Check3=0\n"
                                     "PreAlarm=0\n"
                                     "PreAlarmTimeSec=10\n"
                                     "PreAlarmSound=" +
                                     DefaultPreAlarmSound().toUtf8() +
                                     "\n"
                                     "HostTimeServer=pool.ntp.org\n"
                                     "MainTop=100\n"
                                     "MainLeft=100\n"
                                     "MainWidth=302\n"
                                     "MainHeight=227\n");
}

TEST_F(StoredSettingsFile, TimesAreWrittenInTheUserFormat)
{
    formatSettings().LongTimeFormat = u"h:mm:ss AP"_s;
    TStoredSettings s = Defaults();
    s.Time[0] = QTime(19, 5, 9);
    TIniFile ini(Path());
    WriteStoredSettings(ini, s);
    EXPECT_EQ(ini.ReadString(u"Alarm"_s, u"Time1"_s, {}), u"7:05:09 PM"_s);
    EXPECT_EQ(ini.ReadString(u"Alarm"_s, u"Time2"_s, {}), u"12:00:01 AM"_s);
}

TEST_F(StoredSettingsFile, HandEditedFileKeepsEverythingElse)
{
    WriteFile("; Tocsinet settings, edited by hand\n"
              "[Window]\n"
              "Theme=dark\n"
              "\n"
              "[ALARM]\n"
              "; the loud one\n"
              "AlarmSound = \"/home/me/loud.wav\"\n"
              "PreAlarm=2\n"
              "Snooze=5\n"
              "\n"
              "[Extra]\n"
              "Note=keep me\n");
    TIniFile ini(Path());
    TStoredSettings s = LoadStoredSettings(ini);
    s.Alarm.UserMode = 1;
    ASSERT_TRUE(SaveStoredSettings(ini, s));
    EXPECT_EQ(ReadBytes(Path()), "; Tocsinet settings, edited by hand\n"
                                 "[Window]\n"
                                 "Theme=dark\n"
                                 "\n"
                                 "[ALARM]\n"
                                 "; the loud one\n"
                                 "AlarmSound = \"/home/me/loud.wav\"\n"
                                 "PreAlarm=1\n"
                                 "Snooze=5\n"
                                 "UserMode=1\n"
                                 "Time1=00:00:01\n"
                                 "Time2=00:00:01\n"
                                 "Time3=00:00:01\n"
                                 "Check1=0\n"
                                 "Check2=0\n"
                                 "Check3=0\n"
                                 "PreAlarmTimeSec=10\n"
                                 "PreAlarmSound=" +
                                     DefaultPreAlarmSound().toUtf8() +
                                     "\n"
                                     "HostTimeServer=pool.ntp.org\n"
                                     "MainTop=100\n"
                                     "MainLeft=100\n"
                                     "MainWidth=302\n"
                                     "MainHeight=227\n"
                                     "\n"
                                     "[Extra]\n"
                                     "Note=keep me\n");
}
