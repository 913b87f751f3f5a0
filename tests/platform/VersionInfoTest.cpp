#include "support/TestSupport.h"

#include "platform/VersionInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <functional>

namespace {

const QString Block = u"\\StringFileInfo\\041004E4\\"_s;

// A version table in the stored layout, from path/value records.
QByteArray Table(std::initializer_list<std::pair<QByteArray, QByteArray>> records, QByteArray padding = {})
{
    QByteArray body;
    for (const auto &[path, value] : records)
        body += path + '\0' + value + '\0';
    QByteArray table = "TOCSVER1";
    for (int i = 0; i < 4; ++i)
        table += char((body.size() >> (8 * i)) & 0xff);
    return table + body + padding;
}

const QByteArray SampleTable = Table(
    {{"\\StringFileInfo\\041004E4\\ProductName", "Tocsinet"}, {"\\StringFileInfo\\041004E4\\FileVersion", "9.8.7.6"}});

void Put(QByteArray &bytes, qsizetype offset, quint64 value, int width, bool bigEndian)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + (bigEndian ? width - 1 - i : i)] = char((value >> (8 * i)) & 0xff);
}

// A small ELF file: header, the sections' contents, the name table, then the section header table at the end.
// Section 1 is ".text", section 2 the version table, section 3 the name table.
struct TElfImage
{
    bool Is64 = true;
    bool BigEndian = false;
    QByteArray Bytes;
    qsizetype TableOffset = 0;

    explicit TElfImage(bool is64 = true, bool bigEndian = false, const QByteArray &versionTable = SampleTable)
        : Is64(is64), BigEndian(bigEndian)
    {
        const QByteArray names = QByteArray("\0.text\0", 7) + VersionInfoSection + '\0' + ".shstrtab" + '\0';
        const quint64 nameOffsets[] = {0, 1, 7, 7 + sizeof(VersionInfoSection)};
        Bytes = QByteArray(HeaderSize(), '\0');
        const QByteArray contents[] = {{}, QByteArray(24, '\x90'), versionTable, names};
        quint64 offsets[4] = {};
        for (int i = 1; i < 4; ++i) {
            offsets[i] = Bytes.size();
            Bytes += contents[i];
        }
        TableOffset = Bytes.size();
        Bytes += QByteArray(4 * EntrySize(), '\0');
        Bytes[0] = '\x7f';
        Bytes[1] = 'E';
        Bytes[2] = 'L';
        Bytes[3] = 'F';
        Bytes[4] = Is64 ? 2 : 1;
        Bytes[5] = BigEndian ? 2 : 1;
        Bytes[6] = 1;
        SetHeader(ShOff, TableOffset);
        SetHeader(ShEntSize, EntrySize());
        SetHeader(ShNum, 4);
        SetHeader(ShStrNdx, 3);
        for (int i = 1; i < 4; ++i) {
            SetSection(i, Name, nameOffsets[i]);
            SetSection(i, Type, i == 3 ? 3 : 1);
            SetSection(i, Offset, offsets[i]);
            SetSection(i, Size, quint64(contents[i].size()));
        }
    }

    enum HeaderField
    {
        ShOff,
        ShEntSize,
        ShNum,
        ShStrNdx
    };
    enum SectionField
    {
        Name,
        Type,
        Offset,
        Size
    };

    int HeaderSize() const { return Is64 ? 64 : 52; }
    int EntrySize() const { return Is64 ? 64 : 40; }

    void SetHeader(HeaderField field, quint64 value)
    {
        static constexpr int at64[] = {0x28, 0x3A, 0x3C, 0x3E}, at32[] = {0x20, 0x2E, 0x30, 0x32};
        const int width = field == ShOff ? (Is64 ? 8 : 4) : 2;
        Put(Bytes, (Is64 ? at64 : at32)[field], value, width, BigEndian);
    }
    void SetSection(int index, SectionField field, quint64 value)
    {
        static constexpr int at64[] = {0, 4, 24, 32}, at32[] = {0, 4, 16, 20};
        const int width = (field == Offset || field == Size) && Is64 ? 8 : 4;
        Put(Bytes, TableOffset + index * EntrySize() + (Is64 ? at64 : at32)[field], value, width, BigEndian);
    }
};

} // namespace

TEST(VersionInfoRead, FindsThisProgramsOwnTable)
{
    const std::optional<TVersionInfo> info = ReadVersionInfo(QCoreApplication::applicationFilePath());
    ASSERT_TRUE(info);
    const std::pair<QString, QString> expected[] = {
        {u"CompanyName"_s, u"https://tocsinet.example.org"_s},
        {u"FileDescription"_s, u"Tocsinet"_s},
        {u"FileVersion"_s, u"1.3.2.5"_s},
        {u"InternalName"_s, u"Tocsinet"_s},
        {u"LegalCopyright"_s, u"Copyright (C) The Tocsinet authors"_s},
        {u"LegalTrademarks"_s, u"All rights reserved"_s},
        {u"OriginalFilename"_s, QString()},
        {u"ProductName"_s, u"Tocsinet"_s},
        {u"ProductVersion"_s, u"1.3.1.5"_s},
        {u"Comments"_s, QString()},
    };
    for (const auto &[key, value] : expected)
        EXPECT_EQ(info->Query(Block + key), value) << key.toStdString();
    EXPECT_EQ(info->Query(u"\\StringFileInfo\\040904E4\\ProductName"), std::nullopt); // only the Italian block
}

struct TFileCase
{
    const char *name;
    std::function<QString(const QDir &dir)> make; // writes the file into dir and returns its path
    friend void PrintTo(const TFileCase &c, std::ostream *os) { *os << c.name; }
};

class VersionInfoFiles : public testing::TestWithParam<TFileCase>
{
};

TEST_P(VersionInfoFiles, GiveNoInformation)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(ReadVersionInfo(GetParam().make(QDir(dir.path()))), std::nullopt);
}

namespace {
QString Write(const QDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(u"file"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}
QByteArray ThisProgram()
{
    QFile self(QCoreApplication::applicationFilePath());
    return self.open(QIODevice::ReadOnly) ? self.readAll() : QByteArray();
}
} // namespace

INSTANTIATE_TEST_SUITE_P(NotOurs, VersionInfoFiles,
                         testing::Values(TFileCase{"missing", [](const QDir &d) { return d.filePath(u"none"_s); }},
                                         TFileCase{"empty_path", [](const QDir &) { return QString(); }},
                                         TFileCase{"directory", [](const QDir &d) { return d.path(); }},
                                         TFileCase{"empty_file", [](const QDir &d) { return Write(d, {}); }},
                                         TFileCase{"text_file",
                                                   [](const QDir &d) { return Write(d, "[Alarm]\nUserMode=0\n"); }},
                                         TFileCase{"fifo_is_not_waited_on",
                                                   [](const QDir &d) {
                                                       const QString path = d.filePath(u"fifo"_s);
                                                       EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600),
                                                                 0);
                                                       return path;
                                                   }},
                                         TFileCase{"elf_without_the_section",
                                                   [](const QDir &d) {
                                                       TElfImage elf;
                                                       elf.SetSection(2, TElfImage::Name, 1); // now a second ".text"
                                                       return Write(d, elf.Bytes);
                                                   }},
                                         TFileCase{"this_program_cut_short",
                                                   [](const QDir &d) {
                                                       const QByteArray self = ThisProgram();
                                                       return Write(d, self.first(self.size() - 1));
                                                   }}),
                         [](const auto &row) { return std::string(row.param.name); });

struct TLayoutCase
{
    const char *name;
    bool is64, bigEndian;
    friend void PrintTo(const TLayoutCase &c, std::ostream *os) { *os << c.name; }
};

class VersionInfoElfLayouts : public testing::TestWithParam<TLayoutCase>
{
};

TEST_P(VersionInfoElfLayouts, FindTheTableByItsSectionName)
{
    const TElfImage elf(GetParam().is64, GetParam().bigEndian);
    const std::optional<TVersionInfo> info = ParseVersionInfo(elf.Bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Query(Block + u"FileVersion"_s), u"9.8.7.6"_s);
    // Every shorter image loses the section header table at its end.
    for (qsizetype n = 0; n < elf.Bytes.size(); ++n)
        ASSERT_EQ(ParseVersionInfo(QByteArrayView(elf.Bytes).first(n)), std::nullopt) << n << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Layouts, VersionInfoElfLayouts,
                         testing::Values(TLayoutCase{"elf64_little", true, false}, TLayoutCase{"elf64_big", true, true},
                                         TLayoutCase{"elf32_little", false, false},
                                         TLayoutCase{"elf32_big", false, true}),
                         [](const auto &row) { return std::string(row.param.name); });

struct TDamageCase
{
    const char *name;
    std::function<void(TElfImage &elf)> damage;
    friend void PrintTo(const TDamageCase &c, std::ostream *os) { *os << c.name; }
};

class VersionInfoDamagedElf : public testing::TestWithParam<TDamageCase>
{
};

TEST_P(VersionInfoDamagedElf, GivesNoInformation)
{
    for (const bool is64 : {true, false}) {
        TElfImage elf(is64);
        GetParam().damage(elf);
        EXPECT_EQ(ParseVersionInfo(elf.Bytes), std::nullopt) << (is64 ? "64-bit" : "32-bit");
    }
}

namespace {
constexpr quint64 Max64 = ~quint64(0);
// The largest offset a field can hold in this image's class.
quint64 MaxField(const TElfImage &elf)
{
    return elf.Is64 ? Max64 : 0xffffffffu;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Damage, VersionInfoDamagedElf,
    testing::Values(
        TDamageCase{"wrong_magic", [](TElfImage &e) { e.Bytes[1] = 'X'; }},
        TDamageCase{"unknown_class", [](TElfImage &e) { e.Bytes[4] = 3; }},
        TDamageCase{"unknown_byte_order", [](TElfImage &e) { e.Bytes[5] = 0; }},
        TDamageCase{"no_section_table", [](TElfImage &e) { e.SetHeader(TElfImage::ShOff, 0); }},
        TDamageCase{"section_table_past_end",
                    [](TElfImage &e) { e.SetHeader(TElfImage::ShOff, e.Bytes.size() - e.EntrySize()); }},
        TDamageCase{"section_table_offset_wraps", [](TElfImage &e) { e.SetHeader(TElfImage::ShOff, MaxField(e) - 8); }},
        TDamageCase{"extended_section_count", [](TElfImage &e) { e.SetHeader(TElfImage::ShNum, 0); }},
        TDamageCase{"section_count_past_end", [](TElfImage &e) { e.SetHeader(TElfImage::ShNum, 0xffff); }},
        TDamageCase{"entry_size_too_small", [](TElfImage &e) { e.SetHeader(TElfImage::ShEntSize, 16); }},
        TDamageCase{"name_table_index_out_of_range", [](TElfImage &e) { e.SetHeader(TElfImage::ShStrNdx, 4); }},
        TDamageCase{"name_table_past_end", [](TElfImage &e) { e.SetSection(3, TElfImage::Offset, e.Bytes.size()); }},
        TDamageCase{"name_table_offset_wraps",
                    [](TElfImage &e) { e.SetSection(3, TElfImage::Offset, MaxField(e) - 8); }},
        TDamageCase{"name_offset_past_name_table", [](TElfImage &e) { e.SetSection(2, TElfImage::Name, 4000); }},
        TDamageCase{"name_cut_by_name_table_end",
                    [](TElfImage &e) { e.SetSection(3, TElfImage::Size, 7 + sizeof(VersionInfoSection) - 1); }},
        TDamageCase{"version_section_past_end",
                    [](TElfImage &e) { e.SetSection(2, TElfImage::Offset, e.Bytes.size() - 4); }},
        TDamageCase{"version_section_offset_wraps",
                    [](TElfImage &e) { e.SetSection(2, TElfImage::Offset, MaxField(e) - 8); }},
        TDamageCase{"version_section_longer_than_file",
                    [](TElfImage &e) { e.SetSection(2, TElfImage::Size, e.Bytes.size()); }},
        TDamageCase{"version_section_takes_no_file_room", [](TElfImage &e) { e.SetSection(2, TElfImage::Type, 8); }},
        TDamageCase{"version_table_damaged", [](TElfImage &e) { e.SetSection(2, TElfImage::Size, 11); }}),
    [](const auto &row) { return std::string(row.param.name); });

struct TTableCase
{
    const char *name;
    QByteArray bytes;
    bool valid;
    friend void PrintTo(const TTableCase &c, std::ostream *os) { *os << c.name; }
};

class VersionInfoTable : public testing::TestWithParam<TTableCase>
{
};

TEST_P(VersionInfoTable, AcceptsOnlyWholeRecords)
{
    EXPECT_EQ(TVersionInfo::FromTable(GetParam().bytes).has_value(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, VersionInfoTable,
    testing::Values(TTableCase{"sample", SampleTable, true}, TTableCase{"no_records", Table({}), true},
                    TTableCase{"padding_after_records", Table({{"a", "b"}}, QByteArray(13, '\0')), true},
                    TTableCase{"wrong_magic", "TOCSVER2" + SampleTable.sliced(8), false},
                    TTableCase{"header_cut_short", SampleTable.first(11), false},
                    TTableCase{"length_past_end", SampleTable.first(SampleTable.size() - 1), false},
                    TTableCase{"value_without_end", Table({{"a", "b"}}).chopped(1) + 'x', false},
                    TTableCase{"path_without_value", Table({{"a", "b"}}).chopped(2) + QByteArray(2, 'x'), false}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(VersionInfoQuery, MatchesWholePathsIgnoringCase)
{
    const std::optional<TVersionInfo> info =
        TVersionInfo::FromTable(Table({{"\\A\\Key", "first"}, {"\\A\\Empty", ""}, {"\\a\\key", "second"}}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Query(u"\\a\\KEY"), u"first"_s);
    EXPECT_EQ(info->Query(u"\\A\\Empty"), QString());
    EXPECT_EQ(info->Query(u"\\A\\Ke"), std::nullopt);
    EXPECT_EQ(info->Query(u"\\A\\Key\\"), std::nullopt);
}
