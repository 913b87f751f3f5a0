#include "support/TestSupport.h"

#include "app/Main.h"
#include "ui_Main.h"

#include "platform/FormatSettings.h"
#include "platform/Platform.h"
#include "support/FakeClock.h"
#include "support/FakeClockSetter.h"
#include "support/FakeNotice.h"
#include "support/FakeSntp.h"
#include "support/RecordingSound.h"

#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTemporaryDir>

namespace {

const TDateTime Today = EncodeDate(2026, 12, 11);

TDateTime At(int h, int m, int s, int ms = 0, int dayOffset = 0)
{
    return Today + dayOffset + EncodeTime(h, m, s, ms);
}

// One main window on a fake clock whose sounds are recorded; the tests tick by hand unless they start MyTimer.
class MainEngine : public testing::Test
{
protected:
    MainEngine()
    {
        formatSettings().TimeSeparator = u':';
        sound.LengthMs[alarm] = 3000;
        sound.LengthMs[preAlarm] = 200;
        form.AlarmSound = alarm;
        form.PreAlarmSound = preAlarm;
        form.PreAlarmTimeSec = 10;
        form.FirstShow = false; // as after start-up; the tests tick by hand instead of MyTimer
    }

    Ui::TMainForm &ui() { return form.Form(); }

    // Ticks every 100 ms (plus whatever the sounds take) until the clock reaches `end`.
    void RunUntil(TDateTime end)
    {
        while (clock.Now() < end) {
            form.MyTimerTimer();
            clock.AdvanceMs(100);
        }
    }

    void Arm(QTimeEdit *picker, QCheckBox *box, QTime time)
    {
        picker->setTime(time);
        box->setChecked(true);
    }

    int Count(const QString &path) const { return int(sound.Played.count(path)); }

    const QString alarm = u"/sounds/alarm.wav"_s;
    const QString preAlarm = u"/sounds/pre.wav"_s;
    TFakeClock clock{At(6, 59, 50)};
    TRecordingSound sound{&clock};
    TFakeNotice notice;
    TFakeClockSetter setter;
    TFakeSntp sntp;
    TPlatform platform{clock, sound, notice, setter, sntp};
    QTemporaryDir folder;
    TMainForm form{platform, folder.filePath(u"tocsinet.ini"_s)};
};

TEST_F(MainEngine, TimeAlarmCountsDownPreAlarmsEachSecondThenRingsOnce)
{
    form.PreAlarm = true;
    form.PreAlarmTimeSec = 5;
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));

    form.MyTimerTimer();
    EXPECT_EQ(ui().RemEdit1->text(), u"00:00:10"_s);
    EXPECT_EQ(ui().TimePanel->text(), u"06:59:50"_s);

    RunUntil(At(6, 59, 59, 900));
    EXPECT_EQ(sound.Played, QStringList(5, preAlarm)) << "one pre-alarm for each of 5, 4, 3, 2, 1";
    form.MyTimerTimer();
    EXPECT_EQ(ui().RemEdit1->text(), u"00:00:00"_s);
    EXPECT_EQ(sound.Played.size(), 5) << "no pre-alarm once less than a second is left";

    clock.AdvanceMs(100);
    form.MyTimerTimer();
    EXPECT_EQ(sound.Played.last(), alarm);
    EXPECT_FALSE(ui().CBAlarm1->isChecked());
    EXPECT_TRUE(form.isVisible()) << "a ringing row shows the window";
    EXPECT_EQ(ui().RemEdit1->text(), u"23:59:57"_s) << "just under a day, less the 3 s sound";

    form.MyTimerTimer();
    EXPECT_EQ(ui().RemEdit1->text(), QString());
    RunUntil(At(7, 0, 0, 0, 1) + EncodeTime(0, 0, 5));
    EXPECT_EQ(Count(alarm), 1) << "an unticked row never sounds again";
}

TEST_F(MainEngine, TimeAlarmTickedAfterItsTimeWaitsForTomorrow)
{
    clock.Set(At(7, 0, 0, 950));
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));
    clock.AdvanceMs(100); // the next tick falls in the following second
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 0);
    EXPECT_EQ(ui().RemEdit1->text(), u"23:59:58"_s);

    ui().CBAlarm1->setChecked(false);
    clock.Set(At(7, 0, 0, 400));
    Arm(ui().AlarmPicker2, ui().CBAlarm2, QTime(7, 0, 0));
    clock.AdvanceMs(100); // still its own second
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 1);
    EXPECT_FALSE(ui().CBAlarm2->isChecked());
}

TEST_F(MainEngine, TimerCountsDownAcrossMidnightAndRingsInItsSecond)
{
    form.UserMode = 1;
    clock.Set(At(21, 0, 0, 400));
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(4, 0, 0));

    clock.Set(At(0, 30, 0, 0, 1));
    form.MyTimerTimer();
    EXPECT_EQ(ui().RemEdit1->text(), u"00:30:00"_s);
    EXPECT_EQ(Count(alarm), 0);

    clock.Set(At(0, 59, 59, 950, 1));
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 0);
    clock.Set(At(1, 0, 0, 50, 1));
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 1) << "rings at the first tick of the target's second, before its milliseconds";
}

TEST_F(MainEngine, SecondRowDueInTheSameSecondRingsAfterTheFirstSound)
{
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));
    Arm(ui().AlarmPicker2, ui().CBAlarm2, QTime(7, 0, 0));
    RunUntil(At(7, 0, 10));
    EXPECT_EQ(Count(alarm), 2);
    EXPECT_FALSE(ui().CBAlarm1->isChecked());
    EXPECT_FALSE(ui().CBAlarm2->isChecked());
}

TEST_F(MainEngine, ClockSetForwardAcrossTargetRingsOnce)
{
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));
    form.UserMode = 0;
    form.MyTimerTimer();
    clock.Set(At(9, 30, 0)); // the synchronisation moved the clock on by hours
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 1);
    RunUntil(At(9, 30, 5));
    EXPECT_EQ(Count(alarm), 1);

    form.UserMode = 1;
    clock.Set(At(12, 0, 0));
    Arm(ui().AlarmPicker2, ui().CBAlarm2, QTime(0, 10, 0));
    form.MyTimerTimer();
    clock.Set(At(12, 45, 0)); // the machine slept through the count-down's end
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 2);
}

TEST_F(MainEngine, ClockSetBackNeverRingsEarlyOrTwice)
{
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));
    form.MyTimerTimer();
    clock.Set(At(5, 0, 0)); // back by two hours, past nothing
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 0);
    EXPECT_EQ(ui().RemEdit1->text(), u"02:00:00"_s);
    RunUntil(At(6, 59, 59, 900));
    EXPECT_EQ(Count(alarm), 0);

    // Rung, re-armed for tomorrow, then the clock is put back before today's ring: no second ring today.
    RunUntil(At(7, 0, 1));
    EXPECT_EQ(Count(alarm), 1);
    ui().CBAlarm1->setChecked(true);
    clock.Set(At(6, 59, 0));
    form.MyTimerTimer();
    clock.Set(At(7, 30, 0));
    form.MyTimerTimer();
    EXPECT_EQ(Count(alarm), 2) << "the clock went back, so 07:00 came round once more and was passed";
}

TEST_F(MainEngine, UnexpectedUserModeKeepsLabelsAndCountsToMidnight)
{
    form.UserMode = 2;
    form.SetLabelMode();
    EXPECT_EQ(ui().LabAlarm1->text(), u"Alarm #1"_s);
    clock.Set(At(23, 59, 58));
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));
    form.MyTimerTimer();
    EXPECT_EQ(ui().RemEdit1->text(), u"00:00:02"_s);
    RunUntil(At(0, 0, 1, 0, 1));
    EXPECT_EQ(Count(alarm), 1);
}

TEST_F(MainEngine, PreAlarmSoundsForEveryAlarmEvenAtOneSecond)
{
    form.PreAlarm = true;
    form.PreAlarmTimeSec = 1;
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));
    RunUntil(At(7, 0, 5));
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 10));
    RunUntil(At(7, 0, 15));
    EXPECT_EQ(sound.Played, (QStringList{preAlarm, alarm, preAlarm, alarm}));
}

TEST_F(MainEngine, PreAlarmSecondsAreSharedByTheRows)
{
    form.PreAlarm = true;
    form.PreAlarmTimeSec = 3;
    sound.LengthMs[preAlarm] = 0;
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(7, 0, 0));
    Arm(ui().AlarmPicker2, ui().CBAlarm2, QTime(7, 0, 0));
    RunUntil(At(6, 59, 59, 900));
    EXPECT_EQ(Count(preAlarm), 3) << "each remaining second sounds once, for the first row that reaches it";
}

TEST_F(MainEngine, LabelsFollowUserMode)
{
    form.UserMode = 1;
    form.SetLabelMode();
    EXPECT_EQ((QStringList{ui().LabAlarm1->text(), ui().LabAlarm2->text(), ui().LabAlarm3->text()}),
              (QStringList{u"Timer #1"_s, u"Timer #2"_s, u"Timer #3"_s}));
    form.UserMode = 0;
    ui().CBAlarm3->setChecked(true); // a box's handler refreshes the labels
    EXPECT_EQ((QStringList{ui().LabAlarm1->text(), ui().LabAlarm2->text(), ui().LabAlarm3->text()}),
              (QStringList{u"Alarm #1"_s, u"Alarm #2"_s, u"Alarm #3"_s}));
}

TEST_F(MainEngine, UntickedRowIsSilentAndEmpty)
{
    ui().AlarmPicker1->setTime(QTime(7, 0, 0));
    RunUntil(At(7, 0, 5));
    EXPECT_TRUE(sound.Played.isEmpty());
    EXPECT_EQ(ui().RemEdit1->text(), QString());
}

using MainWindow = MainEngine;

TEST_F(MainWindow, ControlsSitWhereTheLayoutPutsThem)
{
    struct TPlace
    {
        QWidget *widget;
        QRect geometry;
        QString text;
    };
    const TPlace places[] = {
        {ui().AlarmPicker1, {76, 50, 69, 21}, {}},       {ui().AlarmPicker2, {76, 76, 69, 21}, {}},
        {ui().AlarmPicker3, {76, 102, 69, 21}, {}},      {ui().LabAlarm1, {24, 54, 42, 13}, u"Alarm #1"_s},
        {ui().CBAlarm1, {152, 52, 63, 17}, u"Enabled"_s}, {ui().CBAlarm3, {152, 104, 63, 17}, u"Enabled"_s},
        {ui().TimePanel, {24, 12, 245, 31}, {}},         {ui().OptButton, {76, 130, 83, 25}, u"Options..."_s},
        {ui().RemEdit2, {218, 76, 51, 21}, {}},          {ui().SyncButton, {164, 130, 105, 25}, u"Internet clock sync"_s},
    };
    for (const TPlace &p : places) {
        // Widths may grow where the user's font needs more room than the layout's; nothing else moves.
        const QRect g = p.widget->geometry();
        EXPECT_GE(g.x(), p.geometry.x()) << p.widget->objectName().toStdString();
        EXPECT_LE(g.x(), p.geometry.x() + 12) << p.widget->objectName().toStdString();
        EXPECT_EQ(g.y(), p.geometry.y()) << p.widget->objectName().toStdString();
        EXPECT_EQ(g.height(), p.geometry.height()) << p.widget->objectName().toStdString();
        EXPECT_GE(g.width(), p.geometry.width()) << p.widget->objectName().toStdString();
        if (!p.text.isEmpty()) {
            EXPECT_EQ(p.widget->property("text").toString(), p.text);
        }
    }
    EXPECT_EQ(form.windowTitle(), u"Tocsinet"_s);
    EXPECT_EQ(ui().AlarmPicker1->time(), QTime(0, 0, 1));
    EXPECT_TRUE(ui().RemEdit1->isReadOnly());
    EXPECT_EQ(ui().RemEdit1->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(ui().TimePanel->font().bold());

    QStringList menus;
    for (QAction *menu : form.menuBar()->actions()) {
        QStringList items;
        for (QAction *item : menu->menu()->actions())
            items << item->text();
        menus << menu->text() + u": "_s + items.join(u", "_s);
    }
    EXPECT_EQ(menus, (QStringList{u"File: Internet clock sync, Tray icon, Exit"_s, u"Edit: Options"_s,
                                  u"Help: About Tocsinet"_s}));
}

TEST_F(MainWindow, TabOrderFollowsTheRowsThenTheButtons)
{
    QStringList order;
    QWidget *w = ui().AlarmPicker1;
    do {
        if (w->parentWidget() == ui().ClientArea && (w->focusPolicy() & Qt::TabFocus))
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != ui().AlarmPicker1);
    EXPECT_EQ(order, (QStringList{u"AlarmPicker1"_s, u"AlarmPicker2"_s, u"AlarmPicker3"_s, u"CBAlarm1"_s,
                                  u"CBAlarm2"_s, u"CBAlarm3"_s, u"OptButton"_s, u"SyncButton"_s}));
}

TEST_F(MainWindow, KeepsItsSizeAndTextsFitTheirControls)
{
    form.show();
    const QSize fixed = form.size();
    form.resize(600, 500);
    EXPECT_EQ(form.size(), fixed);
    const QFontMetrics fm(form.font());
    for (QLabel *label : {ui().LabAlarm1, ui().LabAlarm2, ui().LabAlarm3})
        EXPECT_LE(fm.horizontalAdvance(u"Timer #3"_s), label->width());
    for (QCheckBox *box : {ui().CBAlarm1, ui().CBAlarm2, ui().CBAlarm3})
        EXPECT_LE(box->sizeHint().width(), box->width());
    for (QTimeEdit *picker : {ui().AlarmPicker1, ui().AlarmPicker2, ui().AlarmPicker3})
        EXPECT_LE(picker->minimumSizeHint().width(), picker->width());
    for (QLineEdit *edit : {ui().RemEdit1, ui().RemEdit2, ui().RemEdit3})
        EXPECT_LE(fm.horizontalAdvance(u"23:59:59"_s) + 8, edit->width());
    for (QPushButton *button : {ui().OptButton, ui().SyncButton})
        EXPECT_LE(fm.horizontalAdvance(button->text()) + 8, button->width());
    const QRect client = ui().ClientArea->rect();
    for (QWidget *w : ui().ClientArea->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(client.contains(w->geometry())) << w->objectName().toStdString();
    EXPECT_EQ(QFontInfo(form.font()).pixelSize(), 11);
}

TEST_F(MainWindow, CloseWhileVisibleReducesExitCloses)
{
    form.FirstShow = true;
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.MyTimer.isActive()) << "alarms go on while the window is hidden";

    form.show();
    form.ExitCommandClick();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.ModalResult(), TMainForm::ModalResultCancel);
}

// Runs `act` on the dialog that the command opens, once its modal loop runs.
template <typename Act> void OnNextModal(Act act)
{
    QTimer::singleShot(0, [act] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

TEST_F(MainWindow, OptionsOkRelabelsTheRowsCancelChangesNothing)
{
    OnNextModal([](QWidget &dialog) {
        dialog.findChild<QRadioButton *>(u"RBTimerAlarm"_s)->click();
        dialog.findChild<QPushButton *>(u"OkButton"_s)->click();
    });
    form.OptButtonClick();
    EXPECT_EQ(form.UserMode, 1);
    EXPECT_EQ(ui().LabAlarm2->text(), u"Timer #2"_s);

    OnNextModal([](QWidget &dialog) {
        dialog.findChild<QRadioButton *>(u"RBTimeAlarm"_s)->click();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    form.OptButtonClick();
    EXPECT_EQ(form.UserMode, 1);
    EXPECT_EQ(ui().LabAlarm2->text(), u"Timer #2"_s);
}

TEST_F(MainWindow, AlarmsRingWhileADialogIsOpen)
{
    Arm(ui().AlarmPicker1, ui().CBAlarm1, QTime(6, 59, 51));
    form.MyTimer.start();
    clock.Set(At(6, 59, 51));
    OnNextModal([this](QWidget &dialog) {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !sound.Played.isEmpty(); }, 2000));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    form.InternetSyncCommandClick();
    EXPECT_EQ(sound.Played, QStringList{alarm});
    EXPECT_FALSE(ui().CBAlarm1->isChecked());
}

TEST_F(MainWindow, FirstShowRunsOnce)
{
    form.FirstShow = true;
    form.show();
    EXPECT_FALSE(form.FirstShow);
    EXPECT_FALSE(ui().TimePanel->text().isEmpty());
    ui().TimePanel->clear();
    form.hide();
    form.show();
    EXPECT_TRUE(ui().TimePanel->text().isEmpty()) << "a later show neither reloads nor ticks";
}

} // namespace
