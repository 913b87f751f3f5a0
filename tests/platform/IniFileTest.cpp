#include "support/TestSupport.h"

#include "platform/ConfigPath.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <climits>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString A = u"Alarm"_s;

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Root passes every permission check, so a read-only folder is only read-only once this thread gives up the
// capabilities that override file permissions. Restores them when it goes.
class TScopedPermissionChecks
{
public:
    TScopedPermissionChecks()
    {
        if (::geteuid() != 0 || syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~TScopedPermissionChecks()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }
    TScopedPermissionChecks(const TScopedPermissionChecks &) = delete;
    TScopedPermissionChecks &operator=(const TScopedPermissionChecks &) = delete;

    // Whether permissions now apply to this thread.
    bool Active() const { return ::geteuid() != 0 || m_dropped; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

// The folder's entries other than . and ..; a failed save must leave no temporary file behind.
QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

struct TReadCase
{
    const char *name;
    QByteArray content;
    QString section, key;
    QString expected; // "<default>" when the default must come back
    friend void PrintTo(const TReadCase &c, std::ostream *os) { *os << c.name; }
};

class IniFileRead : public testing::TestWithParam<TReadCase>
{
};

TEST_P(IniFileRead, FindsValueOrGivesDefault)
{
    const TReadCase &c = GetParam();
    const TIniFile ini(u"/nonexistent/t.ini"_s, c.content);
    EXPECT_EQ(ini.ReadString(c.section, c.key, u"<default>"_s), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniFileRead,
    testing::Values(TReadCase{"names_ignore_case", "[aLaRm]\nUSERMODE=1\n", A, u"UserMode"_s, u"1"_s},
                    TReadCase{"blanks_around_names_and_value", "  [ Alarm ]  \n\t Key \t=  a b \t\n", A, u"Key"_s,
                              u"a b"_s},
                    TReadCase{"double_quotes_dropped_once", "[Alarm]\nK=\"\"x\"\"\n", A, u"K"_s, u"\"x\""_s},
                    TReadCase{"single_quotes_dropped", "[Alarm]\nK= 'C:\\a b.wav' \n", A, u"K"_s, u"C:\\a b.wav"_s},
                    TReadCase{"unmatched_quotes_kept", "[Alarm]\nK=\"x'\n", A, u"K"_s, u"\"x'"_s},
                    TReadCase{"lone_quote_kept", "[Alarm]\nK=\"\n", A, u"K"_s, u"\""_s},
                    TReadCase{"empty_value_is_a_value", "[Alarm]\nK=\n", A, u"K"_s, u""_s},
                    TReadCase{"value_keeps_later_equals", "[Alarm]\nK=a=b\n", A, u"K"_s, u"a=b"_s},
                    TReadCase{"missing_section", "[Other]\nK=1\n", A, u"K"_s, u"<default>"_s},
                    TReadCase{"key_of_next_section", "[Alarm]\nJ=1\n[Other]\nK=2\n", A, u"K"_s, u"<default>"_s},
                    TReadCase{"key_before_any_section", "K=1\n[Alarm]\n", A, u"K"_s, u"<default>"_s},
                    TReadCase{"first_section_and_key_win", "[Alarm]\nK=1\nK=2\n[Alarm]\nK=3\n", A, u"K"_s, u"1"_s},
                    TReadCase{"comment_is_no_key", "[Alarm]\n;K=1\n# K=2\n", A, u"K"_s, u"<default>"_s},
                    TReadCase{"crlf_lines", "[Alarm]\r\nK=v\r\n", A, u"K"_s, u"v"_s},
                    TReadCase{"bom_and_no_final_newline", "\xEF\xBB\xBF[Alarm]\nK=v", A, u"K"_s, u"v"_s},
                    TReadCase{"utf8_value", "[Alarm]\nK=sveglia però.wav\n", A, u"K"_s, u"sveglia però.wav"_s},
                    TReadCase{"escaped_value", "[Alarm]\nK=@\"a\\nb\\\\c\\x01\"\n", A, u"K"_s, u"a\nb\\c\x01"_s},
                    TReadCase{"bad_escape_reads_plain", "[Alarm]\nK=@\"a\\qb\"\n", A, u"K"_s, u"@\"a\\qb\""_s}),
    [](const auto &row) { return std::string(row.param.name); });

struct TIntegerCase
{
    const char *name;
    QByteArray value;
    int expected;
    friend void PrintTo(const TIntegerCase &c, std::ostream *os) { *os << c.name; }
};

class IniFileInteger : public testing::TestWithParam<TIntegerCase>
{
};

TEST_P(IniFileInteger, ReadsDecimalOrHexElseDefault)
{
    const TIntegerCase &c = GetParam();
    const TIniFile ini(u"/nonexistent/t.ini"_s, "[Alarm]\nN=" + c.value + "\n");
    EXPECT_EQ(ini.ReadInteger(A, u"N"_s, 77), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniFileInteger,
    testing::Values(TIntegerCase{"decimal", "302", 302}, TIntegerCase{"negative", "-12", -12},
                    TIntegerCase{"plus_sign", "+7", 7}, TIntegerCase{"hex", "0x1E", 30},
                    TIntegerCase{"hex_upper_prefix", "0X1e", 30}, TIntegerCase{"hex_prefix_only", "0x", 77},
                    TIntegerCase{"hex_negative", "-0x1E", 77}, TIntegerCase{"hex_sign_inside", "0x-1", 77},
                    TIntegerCase{"trailing_letters", "12a", 77}, TIntegerCase{"fraction", "1.5", 77},
                    TIntegerCase{"sign_only", "-", 77}, TIntegerCase{"empty", "", 77},
                    TIntegerCase{"largest", "2147483647", INT_MAX}, TIntegerCase{"smallest", "-2147483648", INT_MIN},
                    TIntegerCase{"overflow", "2147483648", 77}, TIntegerCase{"hex_overflow", "0x80000000", 77},
                    TIntegerCase{"long_overflow", "99999999999999999999999", 77}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(IniFileBool, AnyIntegerButZeroIsTrueElseDefault)
{
    const TIniFile ini(u"/nonexistent/t.ini"_s, "[Alarm]\nTwo=2\nZero=0\nWord=yes\n");
    EXPECT_TRUE(ini.ReadBool(A, u"Two"_s, false));
    EXPECT_FALSE(ini.ReadBool(A, u"Zero"_s, true));
    EXPECT_TRUE(ini.ReadBool(A, u"Word"_s, true));
    EXPECT_FALSE(ini.ReadBool(A, u"Missing"_s, false));
}

TEST(IniFileWrite, ChangesOnlyItsKeysAndAppendsNewOnesAtTheEndOfTheSection)
{
    TIniFile ini(u"/nonexistent/t.ini"_s, "; written by hand\n"
                                          "[Other]\n"
                                          "Colour = blue\n"
                                          "\n"
                                          "[alarm]\n"
                                          "; my usual sound\n"
                                          "  usermode = 0\n"
                                          "Unknown=kept\n"
                                          "; ends here\n"
                                          "\n"
                                          "[Last]\n"
                                          "X=1");
    EXPECT_TRUE(ini.WriteInteger(A, u"UserMode"_s, 1));
    EXPECT_TRUE(ini.WriteString(A, u"AlarmSound"_s, u"/a.wav"_s));
    EXPECT_TRUE(ini.WriteBool(A, u"Check1"_s, true));
    EXPECT_TRUE(ini.WriteString(u"New"_s, u"K"_s, u"v"_s));
    EXPECT_EQ(ini.Content(), "; written by hand\n"
                             "[Other]\n"
                             "Colour = blue\n"
                             "\n"
                             "[alarm]\n"
                             "; my usual sound\n"
                             "usermode=1\n"
                             "Unknown=kept\n"
                             "AlarmSound=/a.wav\n"
                             "Check1=1\n"
                             "; ends here\n"
                             "\n"
                             "[Last]\n"
                             "X=1\n"
                             "[New]\n"
                             "K=v\n");
}

TEST(IniFileWrite, KeepsLineEndsAndLinesWhoseValueIsUnchanged)
{
    TIniFile ini(u"/nonexistent/t.ini"_s, "\xEF\xBB\xBF[Alarm]\r\nAlarmSound = \"/a b.wav\"\r\nPreAlarm=2\r\n");
    ini.WriteString(A, u"AlarmSound"_s, u"/a b.wav"_s);
    ini.WriteBool(A, u"PreAlarm"_s, true);
    ini.WriteInteger(A, u"UserMode"_s, 0);
    EXPECT_EQ(ini.Content(), "\xEF\xBB\xBF[Alarm]\r\nAlarmSound = \"/a b.wav\"\r\nPreAlarm=1\r\nUserMode=0\r\n");
}

TEST(IniFileWrite, RefusesNamesThatWouldNotReadBack)
{
    TIniFile ini(u"/nonexistent/t.ini"_s, QByteArray());
    for (const QString &key : {u""_s, u"a=b"_s, u" a"_s, u"a\nb"_s, u"[a"_s, u";a"_s, u"#a"_s})
        EXPECT_FALSE(ini.WriteString(A, key, u"v"_s)) << key.toStdString();
    for (const QString &section : {u""_s, u"a]b"_s, u"a\n[b"_s, u"a "_s})
        EXPECT_FALSE(ini.WriteString(section, u"K"_s, u"v"_s)) << section.toStdString();
    EXPECT_EQ(ini.Content(), QByteArray());
}

struct TValueCase
{
    const char *name;
    QString value;
    QByteArray line; // as written
    friend void PrintTo(const TValueCase &c, std::ostream *os) { *os << c.name; }
};

class IniFileValue : public testing::TestWithParam<TValueCase>
{
};

// Plain values are written as every INI tool writes them; anything else in a form that reads back unchanged and
// stays on its own line, so no value can add keys or sections.
TEST_P(IniFileValue, WritesOneLineThatReadsBackTheSameValue)
{
    const TValueCase &c = GetParam();
    TIniFile ini(u"/nonexistent/t.ini"_s, QByteArray("[Alarm]\nAfter=1\n"));
    ASSERT_TRUE(ini.WriteString(A, u"K"_s, c.value));
    EXPECT_EQ(ini.Content(), "[Alarm]\nAfter=1\n" + c.line + "\n");

    const TIniFile reread(u"/nonexistent/t.ini"_s, ini.Content());
    EXPECT_EQ(reread.ReadString(A, u"K"_s, u"<default>"_s), c.value);
    EXPECT_EQ(reread.ReadString(A, u"After"_s, u"<default>"_s), u"1"_s);
    EXPECT_EQ(reread.ReadString(u"Evil"_s, u"After"_s, u"<default>"_s), u"<default>"_s);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniFileValue,
    testing::Values(TValueCase{"plain_path", u"/usr/share/tocsinet/sounds/alarm.wav"_s,
                               "K=/usr/share/tocsinet/sounds/alarm.wav"},
                    TValueCase{"windows_path", u"C:\\Windows\\Media\\ringin.wav"_s, "K=C:\\Windows\\Media\\ringin.wav"},
                    TValueCase{"inner_blanks_quotes_and_tab", u"a \"b\"\tc'"_s, "K=a \"b\"\tc'"},
                    TValueCase{"utf8", u"città.wav"_s, "K=città.wav"}, TValueCase{"empty", u""_s, "K="},
                    TValueCase{"leading_and_trailing_blanks", u" a.wav\t"_s, "K=\" a.wav\t\""},
                    TValueCase{"enclosed_in_quotes", u"'a.wav'"_s, "K=\"'a.wav'\""},
                    TValueCase{"newline_starting_a_section", u"/tmp/x\n[Evil]\nAfter=2.wav"_s,
                               "K=@\"/tmp/x\\n[Evil]\\nAfter=2.wav\""},
                    TValueCase{"carriage_return_and_backslash", u"C:\\a\r\\nb"_s, "K=@\"C:\\\\a\\r\\\\nb\""},
                    TValueCase{"other_control", u"a\x01\x1f"_s, "K=@\"a\\x01\\x1f\""},
                    TValueCase{"looks_escaped", u"@\"x\""_s, "K=@\"@\"x\"\""}),
    [](const auto &row) { return std::string(row.param.name); });

class IniFileSave : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

TEST_F(IniFileSave, ReplacesTheWholeFileKeepingItsPermissions)
{
    const QString path = Path(u"t.ini"_s);
    WriteBytes(path, "[Alarm]\nK=old\n; note\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(A, u"K"_s, {}), u"old"_s);
    ini.WriteString(A, u"K"_s, u"new"_s);

    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ini.ErrorString(), QString());
    EXPECT_EQ(ReadBytes(path), "[Alarm]\nK=new\n; note\n");
    const auto modeBits = QFileDevice::Permissions::fromInt(0x7077); // owner, group and others; not "user"
    EXPECT_EQ(QFile::permissions(path) & modeBits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    EXPECT_EQ(Entries(m_dir.path()), QStringList{u"t.ini"_s});
}

TEST_F(IniFileSave, CreatesTheFileAndItsFolder)
{
    const QString path = Path(u"config/tocsinet/t.ini"_s);
    TIniFile ini(path);
    ini.WriteInteger(A, u"UserMode"_s, 1);
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(ReadBytes(path), "[Alarm]\nUserMode=1\n");
}

TEST_F(IniFileSave, WritesThroughASymbolicLink)
{
    WriteBytes(Path(u"real.ini"_s), "[Alarm]\n");
    ASSERT_TRUE(QFile::link(Path(u"real.ini"_s), Path(u"link.ini"_s)));
    TIniFile ini(Path(u"link.ini"_s));
    ini.WriteInteger(A, u"UserMode"_s, 1);
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_TRUE(QFileInfo(Path(u"link.ini"_s)).isSymLink());
    EXPECT_EQ(ReadBytes(Path(u"real.ini"_s)), "[Alarm]\nUserMode=1\n");
}

TEST_F(IniFileSave, ReadOnlyFolderLeavesTheOldFileAndReportsIt)
{
    const QString folder = Path(u"ro"_s);
    const QString path = folder + u"/t.ini"_s;
    ASSERT_TRUE(QDir().mkpath(folder));
    WriteBytes(path, "[Alarm]\nUserMode=0\n");
    TIniFile ini(path);
    ini.WriteInteger(A, u"UserMode"_s, 1);
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    {
        const TScopedPermissionChecks checks;
        if (!checks.Active())
            GTEST_SKIP() << "this process is not subject to file permissions";
        EXPECT_FALSE(ini.UpdateFile());
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(ini.ErrorString(), u"Unable to write to "_s + QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(ReadBytes(path), "[Alarm]\nUserMode=0\n");
    EXPECT_EQ(Entries(folder), QStringList{u"t.ini"_s});
}

TEST_F(IniFileSave, FailedRenameRemovesTheNewFile)
{
    const QString path = Path(u"t.ini"_s);
    TIniFile ini(path);
    ini.WriteInteger(A, u"UserMode"_s, 1);
    ASSERT_TRUE(QDir().mkdir(path)); // appears after the file was read, so only the rename can fail
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ini.ErrorString(), u"Unable to write to "_s + path);
    EXPECT_EQ(Entries(m_dir.path()), QStringList{u"t.ini"_s});
}

TEST_F(IniFileSave, NeverReplacesAFileItCouldNotRead)
{
    const QString path = Path(u"t.ini"_s);
    WriteBytes(path, "[Mine]\nSecret=1\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
    const TScopedPermissionChecks checks;
    if (!checks.Active())
        GTEST_SKIP() << "this process is not subject to file permissions";
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger(A, u"UserMode"_s, 5), 5);
    ini.WriteInteger(A, u"UserMode"_s, 1);
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(ini.ErrorString(), u"Unable to write to "_s + path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(ReadBytes(path), "[Mine]\nSecret=1\n");
}

class SettingsFilePlace : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_savedXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(u"xdg"_s)));
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(u"bin"_s)));
    }
    void TearDown() override
    {
        QFile::setPermissions(m_dir.filePath(u"bin"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_CONFIG_HOME", m_savedXdg);
    }
    QString Bin(const QString &name) const { return m_dir.filePath(u"bin/"_s + name); }
    void MakeBinReadOnly() const
    {
        ASSERT_TRUE(QFile::setPermissions(m_dir.filePath(u"bin"_s), QFile::ReadOwner | QFile::ExeOwner));
    }

    QTemporaryDir m_dir;
    QByteArray m_savedXdg;
};

TEST_F(SettingsFilePlace, BesideTheExecutableWhenItsFolderIsWritable)
{
    EXPECT_EQ(SettingsFilePath(Bin(u"tocsinet"_s)), Bin(u"tocsinet.ini"_s));
    EXPECT_EQ(SettingsFilePath(Bin(u"tocsinet.bin"_s)), Bin(u"tocsinet.ini"_s));
}

TEST_F(SettingsFilePlace, UserConfigFolderWhenTheExecutableFolderIsReadOnly)
{
    MakeBinReadOnly();
    const TScopedPermissionChecks checks;
    if (!checks.Active())
        GTEST_SKIP() << "this process is not subject to file permissions";
    EXPECT_EQ(SettingsFilePath(Bin(u"tocsinet"_s)), m_dir.filePath(u"xdg/tocsinet/tocsinet.ini"_s));

    qputenv("XDG_CONFIG_HOME", "relative/path");
    EXPECT_EQ(SettingsFilePath(Bin(u"tocsinet"_s)), QDir::homePath() + u"/.config/tocsinet/tocsinet.ini"_s);
}

TEST_F(SettingsFilePlace, AnExistingFileBesideTheExecutableWinsEvenReadOnly)
{
    WriteBytes(Bin(u"tocsinet.ini"_s), "[Alarm]\n");
    MakeBinReadOnly();
    const TScopedPermissionChecks checks;
    EXPECT_EQ(SettingsFilePath(Bin(u"tocsinet"_s)), Bin(u"tocsinet.ini"_s));
}
