#include "support/TestSupport.h"

#include "ScopedFormats.h"
#include "controls/MyEdit.h"
#include "support/FakeClock.h"
#include "support/FakeNotice.h"

#include <QAction>
#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QMenu>

#include <algorithm>
#include <memory>

namespace {

using enum CharFilterType;
using testing::Ref;

class MyEditTest : public testing::Test
{
protected:
    TFakeNotice m_notice;
    TScopedFormats m_formats{TScopedFormats::Italian()};
    TFakeClock m_clock{EncodeDate(2007, 6, 15)};
    TScopedClock m_scopedClock{m_clock};
};

struct TKeysCase
{
    const char *name;
    CharFilterType kind;
    QString typed, shown;
    friend void PrintTo(const TKeysCase &c, std::ostream *os) { *os << c.name; }
};

class MyEditKeys : public MyEditTest, public testing::WithParamInterface<TKeysCase>
{
};

TEST_P(MyEditKeys, ShowsFilteredTextWithoutBeeping)
{
    const TKeysCase &c = GetParam();
    TMyEdit edit;
    edit.SetCharFilter(c.kind);
    QTest::keyClicks(&edit, c.typed);
    EXPECT_EQ(edit.text(), c.shown);
    EXPECT_EQ(m_notice.Beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MyEditKeys,
    testing::Values(TKeysCase{"number_drops_all_but_digits", chNumber, u"1a2-3,4.5 "_s, u"12345"_s},
                    TKeysCase{"decimal_takes_locale_separator", chDecimal, u"1a2-3,4.5"_s, u"123,45"_s},
                    TKeysCase{"default_takes_all", chDefault, u"1a2-3"_s, u"1a2-3"_s},
                    TKeysCase{"first_cap_cong_rewrites", chFirstCapCong, u"casa dell'arte"_s, u"Casa dell'Arte"_s},
                    TKeysCase{"all_caps", chAllCaps, u"via roma"_s, u"VIA ROMA"_s}),
    [](const auto &row) { return std::string(row.param.name); });

struct TClipboardCase
{
    const char *name;
    CharFilterType kind;
    QString afterShortcut;
    int beeps;
    friend void PrintTo(const TClipboardCase &c, std::ostream *os) { *os << c.name; }
};

class MyEditClipboard : public MyEditTest, public testing::WithParamInterface<TClipboardCase>
{
};

TEST_P(MyEditClipboard, ShortcutIsFilteredContextMenuPasteIsNot)
{
    const TClipboardCase &c = GetParam();
    QGuiApplication::clipboard()->setText(u"ab"_s);
    TMyEdit edit;
    edit.SetCharFilter(c.kind);
    edit.setText(u"12"_s);

    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), c.afterShortcut);
    EXPECT_EQ(m_notice.Beeps, c.beeps);

    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    const QList<QAction *> actions = menu->actions();
    const auto paste = std::find_if(actions.begin(), actions.end(),
                                    [](const QAction *action) { return action->text().startsWith(u"&Paste"_s); });
    ASSERT_NE(paste, actions.end());
    (*paste)->trigger();
    EXPECT_EQ(edit.text(), c.afterShortcut + u"ab"_s);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MyEditClipboard,
                         testing::Values(TClipboardCase{"number_drops_shortcut", chNumber, u"12"_s, 0},
                                         TClipboardCase{"decimal_drops_shortcut", chDecimal, u"12"_s, 0},
                                         TClipboardCase{"date_refuses_shortcut", chDate, u"12"_s, 1},
                                         TClipboardCase{"default_pastes", chDefault, u"12ab"_s, 0}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(MyEditTest, OnKeyPressSeesFilteredKey)
{
    TMyEdit edit;
    edit.SetCharFilter(chNumber);
    testing::MockFunction<void(TMyEdit &, QChar &)> onKeyPress;
    edit.OnKeyPress = onKeyPress.AsStdFunction();
    {
        testing::InSequence order;
        EXPECT_CALL(onKeyPress, Call(Ref(edit), testing::Eq(QChar())));
        EXPECT_CALL(onKeyPress, Call(Ref(edit), testing::Eq(QChar(u'1'))));
    }
    QTest::keyClicks(&edit, u"a1"_s);
    EXPECT_EQ(edit.text(), u"1"_s);
}

TEST_F(MyEditTest, OnKeyPressCanDropOrReplaceKey)
{
    TMyEdit edit;
    edit.OnKeyPress = [](TMyEdit &, QChar &key) {
        if (key == u'x')
            key = QChar();
        else if (key == u'.')
            key = u',';
    };
    QTest::keyClicks(&edit, u"1x.5"_s);
    EXPECT_EQ(edit.text(), u"1,5"_s);
}

TEST_F(MyEditTest, CapsRewriteKeepsCaret)
{
    TMyEdit edit;
    edit.SetCharFilter(chFirstCapCong);
    QTest::keyClicks(&edit, u"casa arte"_s);
    QTest::keyClick(&edit, Qt::Key_Home);
    for (int k = 0; k < 5; ++k)
        QTest::keyClick(&edit, Qt::Key_Right);
    QTest::keyClicks(&edit, u"dell'"_s);
    EXPECT_EQ(edit.text(), u"Casa dell'Arte"_s);
    EXPECT_EQ(edit.cursorPosition(), 10);
}

TEST_F(MyEditTest, CapsRewriteKeepsSelectionAndItsDirection)
{
    TMyEdit edit;
    edit.SetCharFilter(chFirstCap);
    edit.setText(u"via roma"_s);
    EXPECT_EQ(edit.text(), u"via roma"_s); // assigned text waits for the next key release
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(edit.text(), u"Via Roma"_s);
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(edit.selectedText(), u"ma"_s);
    EXPECT_EQ(edit.cursorPosition(), 6);
}

struct TBoundsCase
{
    const char *name;
    CharFilterType kind;
    QVariant min, max;
    QString text;
    bool valid;
    friend void PrintTo(const TBoundsCase &c, std::ostream *os) { *os << c.name; }
};

class MyEditBounds : public MyEditTest, public testing::WithParamInterface<TBoundsCase>
{
};

TEST_P(MyEditBounds, JudgesText)
{
    const TBoundsCase &c = GetParam();
    TMyEdit edit;
    edit.SetCharFilter(c.kind);
    edit.SetMinValue(c.min);
    edit.SetMaxValue(c.max);
    edit.setText(c.text);
    EXPECT_EQ(edit.ValidData(), c.valid);
}

const QVariant Unset;

INSTANTIATE_TEST_SUITE_P(
    Number, MyEditBounds,
    testing::Values(TBoundsCase{"below_min", chNumber, 1, 30, u"0"_s, false},
                    TBoundsCase{"at_min", chNumber, 1, 30, u"1"_s, true},
                    TBoundsCase{"at_max", chNumber, 1, 30, u"30"_s, true},
                    TBoundsCase{"above_max", chNumber, 1, 30, u"31"_s, false},
                    TBoundsCase{"empty_always_valid", chNumber, 1, 30, QString(), true},
                    TBoundsCase{"no_bounds_takes_anything", chNumber, Unset, Unset, u"99"_s, true},
                    TBoundsCase{"only_min_leaves_top_open", chNumber, 1, Unset, u"5"_s, true},
                    TBoundsCase{"only_min_still_checked", chNumber, 1, Unset, u"0"_s, false},
                    TBoundsCase{"only_max_leaves_bottom_open", chNumber, Unset, 30, u"-5"_s, true},
                    TBoundsCase{"empty_text_bound_is_unset", chNumber, QString(), 30, u"-5"_s, true},
                    TBoundsCase{"beyond_32_bits", chNumber, 1, Unset, u"99999999999"_s, true},
                    TBoundsCase{"fraction_is_not_a_whole_number", chNumber, 1, 30, u"1,5"_s, false},
                    TBoundsCase{"text_bounds", chNumber, u"1"_s, u"30"_s, u"15"_s, true},
                    TBoundsCase{"unreadable_bound", chNumber, u"abc"_s, Unset, u"5"_s, false},
                    TBoundsCase{"pasted_letters", chNumber, 1, 30, u"1a"_s, false}),
    [](const auto &row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(Decimal, MyEditBounds,
                         testing::Values(TBoundsCase{"within", chDecimal, 0.5, 2.5, u"1,5"_s, true},
                                         TBoundsCase{"above", chDecimal, 0.5, 2.5, u"2,6"_s, false},
                                         TBoundsCase{"below", chDecimal, 0.5, 2.5, u"0,4"_s, false},
                                         TBoundsCase{"whole_number", chDecimal, 0.5, 2.5, u"2"_s, true},
                                         TBoundsCase{"trailing_separator", chDecimal, 0.5, 2.5, u"2,"_s, true},
                                         TBoundsCase{"other_separator", chDecimal, 0.5, 2.5, u"1.5"_s, false},
                                         TBoundsCase{"two_separators", chDecimal, 0.5, 2.5, u"1,2,3"_s, false},
                                         TBoundsCase{"text_bound_in_locale_form", chDecimal, u"1,5"_s, Unset, u"1,4"_s,
                                                     false},
                                         TBoundsCase{"only_max", chDecimal, Unset, 2.5, u"0,1"_s, true}),
                         [](const auto &row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Date, MyEditBounds,
    testing::Values(
        TBoundsCase{"within", chDate, QDate(2007, 1, 1), QDate(2007, 12, 31), u"12/05/2007"_s, true},
        TBoundsCase{"one_digit_fields", chDate, QDate(2007, 1, 1), QDate(2007, 12, 31), u"5/1/2007"_s, true},
        TBoundsCase{"two_digit_year_in_current_century", chDate, QDate(2007, 1, 1), QDate(2007, 12, 31), u"12/05/07"_s,
                    true},
        TBoundsCase{"with_time", chDate, QDate(2007, 1, 1), QDate(2007, 12, 31), u"12/05/2007 10:30"_s, true},
        TBoundsCase{"below", chDate, QDate(2007, 1, 1), QDate(2007, 12, 31), u"31/12/2006"_s, false},
        TBoundsCase{"above", chDate, QDate(2007, 1, 1), QDate(2007, 12, 31), u"01/01/2008"_s, false},
        TBoundsCase{"not_a_date", chDate, QDate(2007, 1, 1), QDate(2007, 12, 31), u"31/02/2007"_s, false},
        TBoundsCase{"not_a_date_without_bounds", chDate, Unset, Unset, u"31/02/2007"_s, true},
        TBoundsCase{"only_min_leaves_top_open", chDate, QDate(2000, 1, 1), Unset, u"12/05/2007"_s, true},
        TBoundsCase{"text_bound", chDate, u"01/06/2007"_s, Unset, u"31/05/2007"_s, false}),
    [](const auto &row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(Other, MyEditBounds,
                         testing::Values(TBoundsCase{"caps_ignore_bounds", chFirstCap, 1, 30, u"Abc"_s, true}),
                         [](const auto &row) { return std::string(row.param.name); });

struct TSetFilterCase
{
    const char *name;
    CharFilterType to;
    QString text;
    bool boundsKept;
    DateAgeType age;
    friend void PrintTo(const TSetFilterCase &c, std::ostream *os) { *os << c.name; }
};

class MyEditSetFilter : public MyEditTest, public testing::WithParamInterface<TSetFilterCase>
{
};

TEST_P(MyEditSetFilter, ResetsOnlyOnChange)
{
    const TSetFilterCase &c = GetParam();
    TMyEdit edit;
    edit.SetCharFilter(chNumber);
    edit.SetDateAge(DateAgeType::dt1900);
    edit.setText(u"12"_s);
    edit.SetMinValue(1);
    edit.SetMaxValue(30);

    edit.SetCharFilter(c.to);
    EXPECT_EQ(edit.CharFilter(), c.to);
    EXPECT_EQ(edit.text(), c.text);
    EXPECT_EQ(edit.MinValue().isValid(), c.boundsKept);
    EXPECT_EQ(edit.MaxValue().isValid(), c.boundsKept);
    EXPECT_EQ(edit.DateAge(), c.age);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MyEditSetFilter,
    testing::Values(TSetFilterCase{"same_kind_keeps_all", chNumber, u"12"_s, true, DateAgeType::dt1900},
                    TSetFilterCase{"other_kind_clears", chDecimal, QString(), false, DateAgeType::dtNone},
                    TSetFilterCase{"date_keeps_age", chDate, QString(), false, DateAgeType::dt1900}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(MyEditTest, LosingFocusToPopupOrOtherWindowIsNoExit)
{
    TMyEdit edit;
    edit.SetCharFilter(chNumber);
    edit.SetMinValue(10);
    edit.setText(u"1"_s);
    testing::MockFunction<void(TMyEdit &)> onExit;
    edit.OnExit = onExit.AsStdFunction();
    EXPECT_CALL(onExit, Call).Times(0);
    for (Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason, Qt::MenuBarFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QCoreApplication::sendEvent(&edit, &out);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(m_notice.Beeps, 0);
}

// A small window with the edit, a second one and a plain sibling.
class MyEditFocus : public MyEditTest
{
protected:
    void SetUp() override
    {
        m_window.resize(300, 120);
        m_other->move(0, 40);
        m_sibling->move(0, 80);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        for (TMyEdit *edit : {m_edit, m_other}) {
            edit->SetCharFilter(chNumber);
            edit->SetMinValue(1);
            edit->SetMaxValue(30);
        }
        m_edit->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(m_edit->hasFocus());
    }

    QWidget m_window;
    TMyEdit *m_edit = new TMyEdit(&m_window);
    TMyEdit *m_other = new TMyEdit(&m_window);
    QLineEdit *m_sibling = new QLineEdit(&m_window);
};

struct TExitCase
{
    const char *name;
    QString text;
    bool valid;
    friend void PrintTo(const TExitCase &c, std::ostream *os) { *os << c.name; }
};

class MyEditExit : public MyEditFocus, public testing::WithParamInterface<TExitCase>
{
};

TEST_P(MyEditExit, ChecksBeforeOnExitAndTakesFocusBackWhenInvalid)
{
    const TExitCase &c = GetParam();
    QTest::keyClicks(m_edit, c.text);
    testing::MockFunction<void(TMyEdit &)> onExit;
    int beepsAtExit = -1;
    m_edit->OnExit = [&](TMyEdit &sender) {
        beepsAtExit = m_notice.Beeps;
        onExit.Call(sender);
    };
    EXPECT_CALL(onExit, Call(Ref(*m_edit))).Times(1);

    m_sibling->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(m_sibling->hasFocus()); // the focus comes back only once this change has completed
    EXPECT_EQ(beepsAtExit, c.valid ? 0 : 1);

    if (c.valid) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(m_sibling->hasFocus());
    } else {
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_edit->hasFocus(); }, 1000));
    }
    EXPECT_EQ(m_edit->text(), c.text);
    EXPECT_EQ(m_notice.Beeps, c.valid ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Values, MyEditExit,
                         testing::Values(TExitCase{"above_max", u"31"_s, false}, TExitCase{"below_min", u"0"_s, false},
                                         TExitCase{"within", u"30"_s, true}, TExitCase{"empty", QString(), true}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(MyEditFocus, TwoInvalidFieldsDoNotTakeFocusFromEachOther)
{
    m_edit->setText(u"31"_s);
    m_other->setText(u"31"_s);
    m_other->setFocus(Qt::MouseFocusReason);
    for (int k = 0; k < 20; ++k)
        QCoreApplication::processEvents();
    EXPECT_TRUE(m_edit->hasFocus());
    EXPECT_EQ(m_notice.Beeps, 1);
}

} // namespace
