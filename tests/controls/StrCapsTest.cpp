#include "support/TestSupport.h"

#include "ScopedFormats.h"
#include "controls/MyEdit.h"
#include "controls/StrCaps.h"
#include "support/FakeClock.h"
#include "support/FakeNotice.h"

namespace {

struct TFilterCase
{
    const char *name;
    CharFilterType kind;
    QString in, out;
    friend void PrintTo(const TFilterCase &c, std::ostream *os) { *os << c.name; }
};

class StrCapsFilter : public testing::TestWithParam<TFilterCase>
{
};

TEST_P(StrCapsFilter, RewritesWholeText)
{
    const TFilterCase &c = GetParam();
    EXPECT_EQ(TStringCaps().Filter(c.in, c.kind), c.out);
}

using enum CharFilterType;

INSTANTIATE_TEST_SUITE_P(
    FirstCap, StrCapsFilter,
    testing::Values(TFilterCase{"apostrophe_starts_word", chFirstCap, u"casa dell'arte"_s, u"Casa Dell'Arte"_s},
                    TFilterCase{"capitals_made_small", chFirstCap, u"VIA DEI MILLE"_s, u"Via Dei Mille"_s},
                    TFilterCase{"roman_numeral", chFirstCap, u"vittorio emanuele iii"_s, u"Vittorio Emanuele III"_s},
                    TFilterCase{"only_leading_repeat", chFirstCap, u"xxiii"_s, u"XXiii"_s},
                    TFilterCase{"iii", chFirstCap, u"iii"_s, u"III"_s},
                    TFilterCase{"doubled_a_is_a_name", chFirstCap, u"aaron"_s, u"Aaron"_s},
                    TFilterCase{"doubled_u_is_a_name", chFirstCap, u"uu"_s, u"Uu"_s},
                    TFilterCase{"doubled_o", chFirstCap, u"oo"_s, u"OO"_s},
                    TFilterCase{"after_apostrophe", chFirstCap, u"MCDONALD'S"_s, u"Mcdonald'S"_s},
                    TFilterCase{"hyphen", chFirstCap, u"e-mail"_s, u"E-Mail"_s},
                    TFilterCase{"digit_splits_words", chFirstCap, u"3d studio"_s, u"3D Studio"_s},
                    TFilterCase{"dotted_word", chFirstCap, u"s.p.a. di roma"_s, u"S.P.A. Di Roma"_s},
                    TFilterCase{"accented_small_start_stays", chFirstCap, u"à la carte"_s, u"à La Carte"_s},
                    TFilterCase{"accented_capital_is_a_letter", chFirstCap, u"ÈRA"_s, u"Èra"_s},
                    TFilterCase{"accented_inside_keeps_form", chFirstCap, u"PERÒ"_s, u"PerÒ"_s},
                    TFilterCase{"letter_beyond_basic_plane", chFirstCap, u"x\U0001D400y"_s, u"X\U0001D400y"_s},
                    TFilterCase{"leading_spaces", chFirstCap, u"  via roma"_s, u"  Via Roma"_s},
                    TFilterCase{"one_character", chFirstCap, u"e"_s, u"E"_s},
                    TFilterCase{"empty", chFirstCap, QString(), QString()}),
    [](const auto &row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FirstCapCong, StrCapsFilter,
    testing::Values(
        TFilterCase{"elided_preposition", chFirstCapCong, u"casa dell'arte"_s, u"Casa dell'Arte"_s},
        TFilterCase{"capitals", chFirstCapCong, u"VIA DEI MILLE"_s, u"Via dei Mille"_s},
        TFilterCase{"inside_name", chFirstCapCong, u"alessandro del piero"_s, u"Alessandro del Piero"_s},
        TFilterCase{"opening_word_kept", chFirstCapCong, u"del piero"_s, u"Del Piero"_s},
        TFilterCase{"opening_article", chFirstCapCong, u"l'arte dell'uomo"_s, u"L'Arte dell'Uomo"_s},
        TFilterCase{"conjunction_and_article", chFirstCapCong, u"bella e la bestia"_s, u"Bella e la Bestia"_s},
        TFilterCase{"consecutive_words", chFirstCapCong, u"storia di gli ebrei"_s, u"Storia di gli Ebrei"_s},
        TFilterCase{"after_comma", chFirstCapCong, u"casa, di notte"_s, u"Casa, di Notte"_s},
        TFilterCase{"after_dotted_word", chFirstCapCong, u"S.P.A. DI ROMA"_s, u"S.P.A. di Roma"_s},
        TFilterCase{"dotted_word_matches_nothing", chFirstCapCong, u"via del.corso"_s, u"Via Del.Corso"_s},
        TFilterCase{"letter_after_digit", chFirstCapCong, u"3d studio"_s, u"3d Studio"_s},
        TFilterCase{"after_leading_spaces", chFirstCapCong, u"  di notte"_s, u"  di Notte"_s},
        TFilterCase{"capital_listed_word", chFirstCapCong, u"casa DELLA nonna"_s, u"Casa della Nonna"_s},
        TFilterCase{"small_listed_word", chFirstCapCong, u"casa della nonna"_s, u"Casa della Nonna"_s},
        TFilterCase{"last_word", chFirstCapCong, u"rosso e"_s, u"Rosso e"_s},
        TFilterCase{"accented_opening", chFirstCapCong, u"à la carte"_s, u"à la Carte"_s},
        TFilterCase{"one_word", chFirstCapCong, u"la"_s, u"La"_s},
        TFilterCase{"one_character", chFirstCapCong, u"e"_s, u"E"_s},
        TFilterCase{"empty", chFirstCapCong, QString(), QString()}),
    [](const auto &row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OtherKinds, StrCapsFilter,
    testing::Values(TFilterCase{"one_cap", chOneCap, u"casa dell'arte"_s, u"Casa dell'arte"_s},
                    TFilterCase{"one_cap_keeps_capitals", chOneCap, u"CIAO MONDO"_s, u"CIAO MONDO"_s},
                    TFilterCase{"one_cap_accented_start", chOneCap, u"àncora"_s, u"àncora"_s},
                    TFilterCase{"one_cap_empty", chOneCap, QString(), QString()},
                    TFilterCase{"all_caps_keeps_accents", chAllCaps, u"à la carte"_s, u"à LA CARTE"_s},
                    TFilterCase{"all_caps_empty", chAllCaps, QString(), QString()},
                    TFilterCase{"default_unchanged", chDefault, u"casa dell'arte"_s, u"casa dell'arte"_s},
                    TFilterCase{"date_is_keystroke_only", chDate, u"casa"_s, u"casa"_s},
                    TFilterCase{"number_is_keystroke_only", chNumber, u"ab12"_s, u"ab12"_s},
                    TFilterCase{"decimal_is_keystroke_only", chDecimal, u"ab,12"_s, u"ab,12"_s},
                    TFilterCase{"unknown_kind_unchanged", CharFilterType(42), u"casa"_s, u"casa"_s}),
    [](const auto &row) { return std::string(row.param.name); });

// Date entry: each row types its keys into a field that holds `start` with the given selection, and lists the
// field's text after every key.
struct TDateCase
{
    const char *name;
    DateAgeType age;
    int year; // today's year
    QString start;
    int selStart, selEnd;
    QString keys;
    QStringList fields;
    int beeps;
    friend void PrintTo(const TDateCase &c, std::ostream *os) { *os << c.name; }
};

class StrCapsDateEntry : public testing::TestWithParam<TDateCase>
{
protected:
    StrCapsDateEntry() : m_clock(EncodeDate(GetParam().year, 6, 15) + EncodeTime(12, 0, 0)) {}

    TFakeNotice m_notice;
    TFakeClock m_clock;
    TScopedClock m_scopedClock{m_clock};
    TScopedFormats m_formats{TScopedFormats::Italian()};
};

// A field as the edits handle the result: a passed key replaces the selection, a rewrite is taken as it is.
struct TField
{
    QString Text;
    int Start = 0, End = 0;

    void Type(QChar key, DateAgeType age)
    {
        QString working = Text;
        int start = Start, end = End;
        const QChar result = TStringCaps().CharDateProcess(key, working, start, end, age);
        if (result == TStringCaps::TextRewritten) {
            Text = working;
            Start = start;
            End = end;
        } else if (result == key) {
            Text.replace(Start, End - Start, key);
            End = ++Start;
        } else {
            EXPECT_EQ(result, TStringCaps::KeyRefused);
        }
    }
};

TEST_P(StrCapsDateEntry, DirectCalls)
{
    const TDateCase &c = GetParam();
    TField field{c.start, c.selStart, c.selEnd};
    for (qsizetype k = 0; k < c.keys.size(); ++k) {
        field.Type(c.keys[k], c.age);
        EXPECT_EQ(field.Text, c.fields[k]) << "after key " << k << " '" << c.keys[k].toLatin1() << "'";
    }
    EXPECT_EQ(m_notice.Beeps, c.beeps);
}

TEST_P(StrCapsDateEntry, TypedIntoMyEdit)
{
    const TDateCase &c = GetParam();
    TMyEdit edit;
    edit.SetCharFilter(CharFilterType::chDate);
    edit.SetDateAge(c.age);
    edit.setText(c.start);
    edit.setSelection(c.selStart, c.selEnd - c.selStart);
    for (qsizetype k = 0; k < c.keys.size(); ++k) {
        QTest::keyClicks(&edit, QString(c.keys[k]));
        EXPECT_EQ(edit.text(), c.fields[k]) << "after key " << k << " '" << c.keys[k].toLatin1() << "'";
    }
    EXPECT_EQ(m_notice.Beeps, c.beeps);
}

using enum DateAgeType;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Sequences, StrCapsDateEntry,
    testing::Values(
        TDateCase{"worked_example", dtCurrent, 2007, {}, 0, 0, u"1205071"_s,
                  {u"1"_s, u"12/"_s, u"12/0"_s, u"12/05/20"_s, u"12/05/200"_s, u"12/05/2007"_s, u"12/05/2007"_s},
                  1},
        TDateCase{"one_digit_day", dtCurrent, 2007, {}, 0, 0, u"512"_s, {u"5/"_s, u"5/1"_s, u"5/12/20"_s}, 0},
        TDateCase{"day_above_31", dtCurrent, 2007, {}, 0, 0, u"35"_s, {u"3"_s, u"3"_s}, 1},
        TDateCase{"typed_separators", dtCurrent, 2007, {}, 0, 0, u"1/1/"_s,
                  {u"1"_s, u"1/"_s, u"1/1"_s, u"1/1/20"_s}, 0},
        TDateCase{"separator_after_separator", dtCurrent, 2007, {}, 0, 0, u"12/"_s, {u"1"_s, u"12/"_s, u"12/"_s},
                  1},
        TDateCase{"month_13", dtCurrent, 2007, {}, 0, 0, u"1213"_s, {u"1"_s, u"12/"_s, u"12/1"_s, u"12/1"_s}, 1},
        TDateCase{"refused_from_empty", dtCurrent, 2007, {}, 0, 0, u"/a-"_s, {QString(), QString(), QString()}, 3},
        TDateCase{"age_none_leaves_year", dtNone, 2007, {}, 0, 0, u"12052007"_s,
                  {u"1"_s, u"12/"_s, u"12/0"_s, u"12/05/"_s, u"12/05/2"_s, u"12/05/20"_s, u"12/05/200"_s,
                   u"12/05/2007"_s},
                  0},
        TDateCase{"age_1900", dt1900, 2007, {}, 0, 0, u"1205"_s, {u"1"_s, u"12/"_s, u"12/0"_s, u"12/05/19"_s}, 0},
        TDateCase{"age_2000_in_1999", dt2000, 1999, {}, 0, 0, u"1205"_s,
                  {u"1"_s, u"12/"_s, u"12/0"_s, u"12/05/20"_s}, 0},
        TDateCase{"current_age_follows_clock", dtCurrent, 1999, {}, 0, 0, u"1/1/"_s,
                  {u"1"_s, u"1/"_s, u"1/1"_s, u"1/1/19"_s}, 0},
        TDateCase{"third_separator", dtCurrent, 2007, u"1/1/2007"_s, 8, 8, u"/"_s, {u"1/1/2007"_s}, 1},
        TDateCase{"day_digit_after_3", dtCurrent, 2007, u"3/05/2007"_s, 1, 1, u"21"_s,
                  {u"3/05/2007"_s, u"31/05/2007"_s}, 1},
        TDateCase{"day_digit_after_4", dtCurrent, 2007, u"4/05/2007"_s, 1, 1, u"0"_s, {u"4/05/2007"_s}, 1},
        TDateCase{"day_digit_before_first", dtCurrent, 2007, u"2/05/2007"_s, 0, 0, u"41"_s,
                  {u"2/05/2007"_s, u"12/05/2007"_s}, 1},
        TDateCase{"month_digit_after_2", dtCurrent, 2007, u"12/2/2007"_s, 4, 4, u"0"_s, {u"12/2/2007"_s}, 1},
        TDateCase{"month_digit_before_2", dtCurrent, 2007, u"12/2/2007"_s, 3, 3, u"21"_s,
                  {u"12/2/2007"_s, u"12/12/2007"_s}, 1},
        TDateCase{"caret_inside_never_completes", dtCurrent, 2007, u"1"_s, 0, 0, u"0"_s, {u"01"_s}, 0},
        TDateCase{"whole_text_by_high_digit", dtCurrent, 2007, u"12/05/2007"_s, 0, 10, u"7"_s, {u"7/"_s}, 0},
        TDateCase{"whole_text_by_1", dtCurrent, 2007, u"12/05/2007"_s, 0, 10, u"1"_s, {u"1"_s}, 0},
        TDateCase{"whole_text_by_separator", dtCurrent, 2007, u"12/05/2007"_s, 0, 10, u"/"_s, {u"12/05/2007"_s},
                  1},
        TDateCase{"pasted_overlong_text", dtCurrent, 2007, u"abcdefghijk"_s, 3, 3, u"5/"_s,
                  {u"abcdefghijk"_s, u"abcdefghijk"_s}, 2},
        TDateCase{"pasted_overlong_text_replaced", dtCurrent, 2007, u"abcdefghijk"_s, 0, 11, u"5"_s, {u"5/"_s}, 0},
        TDateCase{"completion_past_ten", dtCurrent, 2007, u"1/23456789"_s, 10, 10, u"/"_s, {u"1/23456789"_s}, 1}),
    [](const auto &row) { return std::string(row.param.name); });
// clang-format on

class StrCapsControlKeys : public testing::TestWithParam<int>
{
};

TEST_P(StrCapsControlKeys, AlwaysPassUntouched)
{
    TFakeNotice notice;
    const QChar key(GetParam());
    for (const QString &start : {QString(), u"12/"_s, u"12/05/2007"_s, u"12/05/2007 10:00"_s}) {
        for (const auto &[s, e] : {std::pair{0, 0}, std::pair{0, int(start.size())}, std::pair{1, 1}}) {
            QString text = start;
            int selStart = s, selEnd = e;
            EXPECT_EQ(TStringCaps().CharDateProcess(key, text, selStart, selEnd, DateAgeType::dtCurrent), key);
            EXPECT_EQ(text, start);
            EXPECT_EQ(std::pair(selStart, selEnd), std::pair(s, e));
        }
    }
    EXPECT_EQ(notice.Beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, StrCapsControlKeys, testing::Values(8, 9, 13, 27),
                         [](const auto &row) { return "code_" + std::to_string(row.param); });

} // namespace
