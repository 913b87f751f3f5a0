#include "support/TestSupport.h"

#include "controls/MyEdit.h"
#include "dialogs/AlarmSettings.h"
#include "dialogs/Options.h"
#include "dialogs/UpDown.h"
#include "platform/Platform.h"
#include "platform/SoundFiles.h"
#include "support/FakeClock.h"
#include "support/FakeClockSetter.h"
#include "support/FakeNotice.h"
#include "support/FakeSntp.h"
#include "support/RecordingSound.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <functional>
#include <optional>

// Found by argument-dependent lookup, so beside the record's own namespace; internal, so no other file's printer
// can take its place.
static void PrintTo(const TAlarmSettings &s, std::ostream *os)
{
    *os << "{UserMode " << s.UserMode << ", AlarmSound \"" << s.AlarmSound.toStdString() << "\", PreAlarm "
        << s.PreAlarm << ", PreAlarmTimeSec " << s.PreAlarmTimeSec << ", PreAlarmSound \""
        << s.PreAlarmSound.toStdString() << "\", HostTimeServer \"" << s.HostTimeServer.toStdString() << "\"}";
}

namespace {

const TAlarmSettings Stored{0, u"/snd/ring.wav"_s, false, 5, u"/snd/beep.wav"_s, u"pool.example"_s};

class OptionsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // The file dialog answers from a script: each "Select..." takes the next answer, empty meaning Cancel.
        dialog.OpenSoundDialog = [this](QWidget *, const QString &startName) {
            startNames.push_back(startName);
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
    }

    void Open(const TAlarmSettings &values = Stored)
    {
        settings = values;
        dialog.show();
    }

    template <typename T = QWidget> T *Find(const QString &name)
    {
        T *found = dialog.findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    void Click(const QString &name) { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }
    TMyEdit *Seconds() { return Find<TMyEdit>(u"SecPreAlarmEdit"_s); }
    void TypeSeconds(const QString &text)
    {
        Seconds()->selectAll();
        QTest::keyClick(Seconds(), Qt::Key_Backspace);
        QTest::keyClicks(Seconds(), text);
    }

    // Changes every control as a user would, without closing.
    void ChangeEverything()
    {
        Click(u"RBTimerAlarm"_s);
        Click(u"CBPreAlarm"_s);
        answers = {u"/new/alarm.wav"_s, u"/new/pre.mp3"_s};
        Click(u"SfogliaAlarmButton"_s);
        Click(u"SfogliaPreAlarmButton"_s);
        TypeSeconds(u"12"_s);
    }
    static TAlarmSettings Changed() { return {1, u"/new/alarm.wav"_s, true, 12, u"/new/pre.mp3"_s, u"pool.example"_s}; }

    TFakeClock clock;
    TRecordingSound sound;
    TFakeNotice notice;
    TFakeClockSetter setter;
    TFakeSntp sntp;
    TPlatform platform{clock, sound, notice, setter, sntp};
    TAlarmSettings settings;
    TOptionsForm dialog{nullptr, settings, platform};
    QStringList answers;
    QStringList startNames;
};

TEST_F(OptionsTest, LoadsTheSettingsWhenShown)
{
    Open({1, u"/snd/ring.wav"_s, true, 17, u"/snd/beep.wav"_s, u"pool.example"_s});
    EXPECT_TRUE(Find<QRadioButton>(u"RBTimerAlarm"_s)->isChecked());
    EXPECT_EQ(Find<QLineEdit>(u"AlarmSoundEdit"_s)->text(), u"/snd/ring.wav"_s);
    EXPECT_TRUE(Find<QCheckBox>(u"CBPreAlarm"_s)->isChecked());
    EXPECT_EQ(Seconds()->text(), u"17"_s);
    EXPECT_EQ(Find<QLineEdit>(u"PreAlarmSoundEdit"_s)->text(), u"/snd/beep.wav"_s);
}

TEST_F(OptionsTest, OkWritesEveryFieldAndAccepts)
{
    Open();
    ChangeEverything();
    Click(u"OkButton"_s);
    EXPECT_EQ(settings, Changed());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(notice.Errors.isEmpty());
}

TEST_F(OptionsTest, OkWithoutChangesKeepsEmptySoundPathsEmpty)
{
    const TAlarmSettings noSounds{0, {}, false, 5, {}, u"pool.example"_s};
    Open(noSounds);
    Click(u"OkButton"_s);
    EXPECT_EQ(settings, noSounds);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

struct TLeaveCase
{
    const char *name;
    std::function<void(TOptionsForm &, TMyEdit &)> leave;
    friend void PrintTo(const TLeaveCase &c, std::ostream *os) { *os << c.name; }
};

class OptionsLeave : public OptionsTest, public testing::WithParamInterface<TLeaveCase>
{
};

TEST_P(OptionsLeave, ChangesNothing)
{
    Open();
    ChangeEverything();
    GetParam().leave(dialog, *Seconds());
    EXPECT_EQ(settings, Stored);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, OptionsLeave,
    testing::Values(TLeaveCase{"cancel_button",
                               [](TOptionsForm &d, TMyEdit &) {
                                   QTest::mouseClick(d.findChild<QPushButton *>(u"CancelButton"_s), Qt::LeftButton);
                               }},
                    // From the seconds edit: the filtered edit must let Esc reach the dialog.
                    TLeaveCase{"escape_in_seconds_edit",
                               [](TOptionsForm &, TMyEdit &edit) { QTest::keyClick(&edit, Qt::Key_Escape); }},
                    TLeaveCase{"close_box", [](TOptionsForm &d, TMyEdit &) { d.close(); }}),
    [](const auto &row) { return std::string(row.param.name); });

struct TSecondsCase
{
    const char *name;
    QString text;
    bool typed;                // otherwise pasted: set without the key filter
    std::optional<int> stored; // nullopt: refused
    friend void PrintTo(const TSecondsCase &c, std::ostream *os) { *os << c.name; }
};

class OptionsSeconds : public OptionsTest, public testing::WithParamInterface<TSecondsCase>
{
};

// No range check on OK: the 1..30 range binds only the up-down.
TEST_P(OptionsSeconds, StoresAnyWholeNumberAndRefusesTheRestWritingNothing)
{
    const TSecondsCase &c = GetParam();
    Open();
    Click(u"RBTimerAlarm"_s);
    Click(u"CBPreAlarm"_s);
    if (c.typed)
        TypeSeconds(c.text);
    else
        Seconds()->setText(c.text);
    Click(u"OkButton"_s);

    if (c.stored) {
        EXPECT_EQ(settings.PreAlarmTimeSec, *c.stored);
        EXPECT_EQ(settings.UserMode, 1);
        EXPECT_TRUE(notice.Errors.isEmpty());
        EXPECT_FALSE(dialog.isVisible());
    } else {
        EXPECT_EQ(notice.Errors, QStringList{u"'"_s + c.text + u"' is not a valid integer value"_s});
        EXPECT_EQ(settings, Stored);
        EXPECT_TRUE(dialog.isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, OptionsSeconds,
                         testing::Values(TSecondsCase{"typed_45", u"45"_s, true, 45},
                                         TSecondsCase{"typed_0", u"0"_s, true, 0},
                                         TSecondsCase{"typed_leading_zeros", u"007"_s, true, 7},
                                         TSecondsCase{"typed_letters_are_dropped", u"4x5"_s, true, 45},
                                         TSecondsCase{"pasted_int_max", u"2147483647"_s, false, 2147483647},
                                         TSecondsCase{"pasted_negative", u"-3"_s, false, -3},
                                         TSecondsCase{"empty", u""_s, true, std::nullopt},
                                         TSecondsCase{"pasted_past_int_max", u"2147483648"_s, false, std::nullopt},
                                         TSecondsCase{"pasted_letters", u"12a"_s, false, std::nullopt},
                                         TSecondsCase{"pasted_hex", u"0x1A"_s, false, std::nullopt}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(OptionsTest, RefusedSecondsThenCancelKeepsEveryField)
{
    Open();
    ChangeEverything();
    TypeSeconds(u""_s);
    Click(u"OkButton"_s);
    ASSERT_EQ(notice.Errors, QStringList{u"'' is not a valid integer value"_s});
    Click(u"CancelButton"_s);
    EXPECT_EQ(settings, Stored);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(OptionsTest, RefusedSecondsThenCorrectedOkWritesEveryField)
{
    Open();
    ChangeEverything();
    TypeSeconds(u""_s);
    Click(u"OkButton"_s);
    ASSERT_TRUE(dialog.isVisible());
    TypeSeconds(u"12"_s);
    Click(u"OkButton"_s);
    EXPECT_EQ(settings, Changed());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(notice.Errors.size(), 1);
}

struct TModeCase
{
    const char *name;
    int stored;
    bool timeShown, timerShown;
    const char *choose; // radio button clicked before OK, or null
    int written;
    friend void PrintTo(const TModeCase &c, std::ostream *os) { *os << c.name; }
};

class OptionsUserMode : public OptionsTest, public testing::WithParamInterface<TModeCase>
{
};

TEST_P(OptionsUserMode, ShowsTheStoredModeClampedAndWritesTheSelection)
{
    const TModeCase &c = GetParam();
    TAlarmSettings values = Stored;
    values.UserMode = c.stored;
    Open(values);
    EXPECT_EQ(Find<QRadioButton>(u"RBTimeAlarm"_s)->isChecked(), c.timeShown);
    EXPECT_EQ(Find<QRadioButton>(u"RBTimerAlarm"_s)->isChecked(), c.timerShown);
    if (c.choose)
        Click(QString::fromLatin1(c.choose));
    Click(u"OkButton"_s);
    EXPECT_EQ(settings.UserMode, c.written);
}

INSTANTIATE_TEST_SUITE_P(Modes, OptionsUserMode,
                         testing::Values(TModeCase{"time", 0, true, false, nullptr, 0},
                                         TModeCase{"timer", 1, false, true, nullptr, 1},
                                         TModeCase{"above_range_shows_timer", 7, false, true, nullptr, 1},
                                         TModeCase{"below_range_shows_none", -3, false, false, nullptr, -1},
                                         TModeCase{"below_range_then_chosen", -3, false, false, "RBTimeAlarm", 0}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(OptionsTest, PreAlarmBoxEnablesItsFiveControls)
{
    const QStringList five = {u"SecPreAlarmEdit"_s, u"UpDownSecPreAlarm"_s, u"PreAlarmSoundEdit"_s,
                              u"TestPreAlarmButton"_s, u"SfogliaPreAlarmButton"_s};
    const QStringList always = {u"Label1"_s, u"GRPreAlarm"_s, u"GRSound"_s, u"CBPreAlarm"_s};
    auto expectState = [&](bool on, const char *when) {
        for (const QString &name : five)
            EXPECT_EQ(Find(name)->isEnabled(), on) << name.toStdString() << " " << when;
        for (const QString &name : always)
            EXPECT_TRUE(Find(name)->isEnabled()) << name.toStdString() << " " << when;
    };
    Open(); // PreAlarm off
    expectState(false, "at opening");
    Click(u"CBPreAlarm"_s);
    expectState(true, "after ticking");
    Click(u"CBPreAlarm"_s);
    expectState(false, "after clearing");
}

TEST_F(OptionsTest, PreAlarmOnAtOpeningEnablesTheFive)
{
    TAlarmSettings values = Stored;
    values.PreAlarm = true;
    Open(values);
    for (const char *name :
         {"SecPreAlarmEdit", "UpDownSecPreAlarm", "PreAlarmSoundEdit", "TestPreAlarmButton", "SfogliaPreAlarmButton"})
        EXPECT_TRUE(Find(QString::fromLatin1(name))->isEnabled()) << name;
}

struct TStepCase
{
    const char *name;
    QStringList texts; // set in turn; the up-down starts from the last
    bool arrow;        // otherwise the Up and Down keys in the edit
    int steps;         // positive up, negative down
    QString shown;
    friend void PrintTo(const TStepCase &c, std::ostream *os) { *os << c.name; }
};

class OptionsUpDown : public OptionsTest, public testing::WithParamInterface<TStepCase>
{
};

TEST_P(OptionsUpDown, StepsByOneWithinOneToThirty)
{
    const TStepCase &c = GetParam();
    TAlarmSettings values = Stored;
    values.PreAlarm = true;
    Open(values);
    for (const QString &text : c.texts)
        Seconds()->setText(text);
    auto *upDown = Find<TUpDown>(u"UpDownSecPreAlarm"_s);
    for (int i = 0; i < std::abs(c.steps); ++i) {
        if (c.arrow)
            QTest::mouseClick(upDown->findChild<QToolButton *>(c.steps > 0 ? u"UpButton"_s : u"DownButton"_s),
                              Qt::LeftButton);
        else
            QTest::keyClick(Seconds(), c.steps > 0 ? Qt::Key_Up : Qt::Key_Down);
    }
    EXPECT_EQ(Seconds()->text(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Steps, OptionsUpDown,
                         testing::Values(TStepCase{"arrow_up", {u"5"_s}, true, 3, u"8"_s},
                                         TStepCase{"arrow_up_stops_at_30", {u"28"_s}, true, 5, u"30"_s},
                                         TStepCase{"arrow_down_stops_at_1", {u"3"_s}, true, -5, u"1"_s},
                                         TStepCase{"key_up_stops_at_30", {u"29"_s}, false, 3, u"30"_s},
                                         TStepCase{"key_down_stops_at_1", {u"2"_s}, false, -3, u"1"_s},
                                         TStepCase{"typed_above_range_steps_down_to_30", {u"45"_s}, true, -1, u"30"_s},
                                         TStepCase{"typed_above_range_up_lands_on_30", {u"45"_s}, false, 1, u"30"_s},
                                         TStepCase{"typed_zero_steps_up_to_1", {u"0"_s}, false, 1, u"1"_s},
                                         TStepCase{"emptied_steps_from_last_number", {u"9"_s, u""_s}, true, 1, u"10"_s},
                                         TStepCase{
                                             "huge_pasted_number_lands_on_30", {u"99999999999"_s}, false, 1, u"30"_s}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(OptionsTest, ChosenFileIsTheStartOfEitherButtonAndCancelKeepsTheEdit)
{
    Open();
    Click(u"CBPreAlarm"_s);
    answers = {u"/picked/first.wav"_s, u""_s, u""_s};
    Click(u"SfogliaAlarmButton"_s);
    Click(u"SfogliaAlarmButton"_s);
    Click(u"SfogliaPreAlarmButton"_s);

    EXPECT_EQ(startNames, (QStringList{u""_s, u"/picked/first.wav"_s, u"/picked/first.wav"_s}));
    EXPECT_EQ(Find<QLineEdit>(u"AlarmSoundEdit"_s)->text(), u"/picked/first.wav"_s);
    EXPECT_EQ(Find<QLineEdit>(u"PreAlarmSoundEdit"_s)->text(), u"/snd/beep.wav"_s);
    EXPECT_EQ(settings, Stored); // nothing reaches the settings before OK
}

TEST_F(OptionsTest, TestButtonsPlayWhatTheEditsShowNow)
{
    Open();
    Click(u"CBPreAlarm"_s);
    answers = {u"/picked/missing.wav"_s};
    Click(u"SfogliaAlarmButton"_s);
    Click(u"TestAlarmButton"_s);
    Click(u"TestPreAlarmButton"_s);
    EXPECT_EQ(sound.Played, (QStringList{u"/picked/missing.wav"_s, u"/snd/beep.wav"_s}));
}

struct TEnterCase
{
    const char *name;
    const char *focus;
    bool stillOpen;
    int result;
    friend void PrintTo(const TEnterCase &c, std::ostream *os) { *os << c.name; }
};

class OptionsEnter : public OptionsTest, public testing::WithParamInterface<TEnterCase>
{
};

TEST_P(OptionsEnter, PressesOnlyTheFocusedButton)
{
    const TEnterCase &c = GetParam();
    TAlarmSettings values = Stored;
    values.PreAlarm = true;
    Open(values);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget *focus = Find(QString::fromLatin1(c.focus));
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Return);
    EXPECT_EQ(dialog.isVisible(), c.stillOpen);
    if (!c.stillOpen) {
        EXPECT_EQ(dialog.result(), c.result);
    }
    EXPECT_TRUE(startNames.isEmpty()); // no "Select..." pressed behind the user's back
    EXPECT_TRUE(sound.Played.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Focus, OptionsEnter,
                         testing::Values(TEnterCase{"seconds_edit", "SecPreAlarmEdit", true, 0},
                                         TEnterCase{"check_box", "CBPreAlarm", true, 0},
                                         TEnterCase{"ok_button", "OkButton", false, QDialog::Accepted},
                                         TEnterCase{"cancel_button", "CancelButton", false, QDialog::Rejected}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(OptionsTest, TabVisitsTheControlsInOrderSkippingTheReadOnlyEdits)
{
    TAlarmSettings values = Stored;
    values.PreAlarm = true;
    Open(values);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(dialog.focusWidget(), Find(u"SfogliaAlarmButton"_s));
    QStringList visited;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        visited.push_back(dialog.focusWidget()->objectName());
    }
    EXPECT_EQ(visited, (QStringList{u"TestAlarmButton"_s, u"SfogliaPreAlarmButton"_s, u"TestPreAlarmButton"_s,
                                    u"CBPreAlarm"_s, u"SecPreAlarmEdit"_s, u"RBTimeAlarm"_s, u"OkButton"_s,
                                    u"CancelButton"_s, u"SfogliaAlarmButton"_s}));
}

// The layout was drawn for a narrower font than most desktops use.
TEST_F(OptionsTest, TextsFitAndTheUpDownSitsRightOfItsEdit)
{
    Open();
    EXPECT_EQ(dialog.windowTitle(), u"Options"_s);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    for (const char *name : {"CBPreAlarm", "Label1", "RBTimeAlarm", "RBTimerAlarm"}) {
        QWidget *w = Find(QString::fromLatin1(name));
        EXPECT_GE(w->width(), w->sizeHint().width()) << name;
    }
    // The style's minimum button width is no matter here; the text and a margin on each side are.
    for (QPushButton *button : dialog.findChildren<QPushButton *>())
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 12)
            << button->objectName().toStdString();
    const QRect test = Find(u"TestAlarmButton"_s)->geometry();
    EXPECT_LT(test.right(), Find(u"SfogliaAlarmButton"_s)->geometry().left());
    const QRect box = Find(u"CBPreAlarm"_s)->geometry();
    const QRect label = Find(u"Label1"_s)->geometry();
    const QRect edit = Seconds()->geometry();
    const QRect upDown = Find(u"UpDownSecPreAlarm"_s)->geometry();
    EXPECT_LT(box.right(), label.left());
    EXPECT_LT(label.right(), edit.left());
    EXPECT_EQ(upDown.topLeft(), QPoint(edit.right() + 1, edit.top()));
    EXPECT_EQ(upDown.height(), edit.height());
    EXPECT_LE(upDown.right(), Find(u"GRPreAlarm"_s)->width() - 16);
    EXPECT_LE(Find(u"GRPreAlarm"_s)->geometry().right(), Find(u"CancelButton"_s)->geometry().right());
    EXPECT_LE(Find(u"CancelButton"_s)->geometry().right(), dialog.width() - 18);
}

class SoundFileDialog : public testing::Test
{
protected:
    QFileDialog fileDialog;
};

TEST_F(SoundFileDialog, OpensOnTheShippedSoundsForWavFiles)
{
    TOptionsForm::SetUpSoundFileDialog(fileDialog, {});
    EXPECT_EQ(fileDialog.windowTitle(), u"Open alarm file"_s);
    EXPECT_EQ(fileDialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(fileDialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(fileDialog.nameFilters(), (QStringList{u"wav file (*.wav)"_s, u"mp3 file (*.mp3)"_s}));
    EXPECT_EQ(fileDialog.selectedNameFilter(), u"wav file"_s); // shown without its pattern
    EXPECT_EQ(fileDialog.directory().absolutePath(), SoundsFolder());
    EXPECT_EQ(fileDialog.defaultSuffix(), u"wav"_s);
}

TEST_F(SoundFileDialog, StartsOnTheLastChosenFileWithItsKind)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString chosen = folder.filePath(u"tune.MP3"_s);
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    TOptionsForm::SetUpSoundFileDialog(fileDialog, chosen);
    EXPECT_EQ(fileDialog.directory().absolutePath(), folder.path());
    EXPECT_EQ(fileDialog.selectedNameFilter(), u"mp3 file"_s);
    EXPECT_EQ(fileDialog.selectedFiles(), QStringList{chosen});
}

} // namespace
