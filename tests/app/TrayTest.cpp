#include "support/TestSupport.h"

#include "app/AppIcon.h"
#include "app/Flyng.h"
#include "app/Main.h"
#include "ui_Main.h"

#include "platform/Platform.h"
#include "support/FakeClock.h"
#include "support/FakeClockSetter.h"
#include "support/FakeNotice.h"
#include "support/FakeSntp.h"
#include "support/RecordingSound.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <map>
#include <vector>

namespace {

// Watches every flying strip of the program: its direction, where it started, whether the main window was
// visible when it appeared, and the order in which strips appeared and closed.
class TFlightLog : public QObject
{
public:
    struct TFlight
    {
        bool Expand;
        QRect Start;
        bool MainVisible;
    };

    explicit TFlightLog(const QWidget &main) : m_main(main) { QCoreApplication::instance()->installEventFilter(this); }
    ~TFlightLog() override { QCoreApplication::instance()->removeEventFilter(this); }

    std::vector<TFlight> Flights;
    QStringList Order; // "1 shown", "2 shown", "1 closed", ...

    bool AllClosed() const { return Order.count() == 2 * int(Flights.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *flight = qobject_cast<TFlyngForm *>(watched);
        if (!flight || (event->type() != QEvent::Show && event->type() != QEvent::Hide))
            return false;
        if (event->type() == QEvent::Show) {
            Flights.push_back({flight->Expand, flight->geometry(), m_main.isVisible()});
            m_number[flight] = int(Flights.size());
            Order << QString::number(Flights.size()) + u" shown"_s;
        } else {
            Order << QString::number(m_number[flight]) + u" closed"_s;
        }
        return false;
    }

private:
    const QWidget &m_main;
    std::map<const QObject *, int> m_number;
};

// Takes the tray messages that reach the window, so that a test sees them without any flight.
class TTrayMessages : public QObject
{
public:
    explicit TTrayMessages(QObject &window) { window.installEventFilter(this); }
    std::vector<std::pair<int, int>> Received; // wParam, lParam

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Type(WM_TRAYNOTIFY))
            return false;
        const auto *notify = static_cast<TTrayNotifyEvent *>(event);
        Received.emplace_back(notify->WParam, notify->LParam);
        return true;
    }
};

const TDateTime Today = EncodeDate(2026, 12, 11);

// A main window after its first show: icon added, settings read from an empty folder, MyTimer running on a clock
// that stands still.
class Tray : public testing::Test
{
protected:
    Tray()
    {
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void Reduce()
    {
        form.RiduciExecute();
        log.Flights.clear();
        log.Order.clear();
    }

    bool WaitFor(const std::function<bool()> &done) { return QTest::qWaitFor(done, 3000); }

    void Click(QSystemTrayIcon::ActivationReason reason) { Q_EMIT form.TrayIcon()->activated(reason); }

    TFakeClock clock{Today + EncodeTime(6, 59, 59, 950)};
    TRecordingSound sound{&clock};
    TFakeNotice notice;
    TFakeClockSetter setter;
    TFakeSntp sntp;
    TPlatform platform{clock, sound, notice, setter, sntp};
    QTemporaryDir folder;
    TMainForm form{platform, folder.filePath(u"tocsinet.ini"_s)};
    TFlightLog log{form};
};

TEST_F(Tray, IconWithTipAndPictureStaysFromFirstShowUntilTheClose)
{
    QTemporaryDir other;
    TMainForm unshown(platform, other.filePath(u"tocsinet.ini"_s));
    EXPECT_EQ(unshown.TrayIcon(), nullptr);

    ASSERT_NE(form.TrayIcon(), nullptr);
    EXPECT_TRUE(form.TrayIcon()->isVisible());
    EXPECT_EQ(form.TrayIcon()->toolTip(), u"Tocsinet"_s);
    EXPECT_EQ(form.TrayIcon()->icon().pixmap(32, 32).toImage(), DrawAppIcon(32).toImage());
    EXPECT_TRUE(form.TrayIcon()->contextMenu() == nullptr) << "no icon menu";

    Reduce();
    ASSERT_NE(form.TrayIcon(), nullptr);
    EXPECT_TRUE(form.TrayIcon()->isVisible());

    form.EspandiExecute();
    form.ExitCommandClick();
    EXPECT_EQ(form.TrayIcon(), nullptr);
}

struct TReduceCase
{
    const char *name;
    std::function<void(TMainForm &)> reduce;
    friend void PrintTo(const TReduceCase &c, std::ostream *os) { *os << c.name; }
};

class TrayReduce : public Tray, public testing::WithParamInterface<TReduceCase>
{
};

TEST_P(TrayReduce, HidesThenFliesToTheTrayLeavingNoMinimisedWindow)
{
    const QRect frame = form.frameGeometry();
    GetParam().reduce(form);
    ASSERT_TRUE(WaitFor([&] { return log.Flights.size() == 1 && log.AllClosed(); }));
    QTest::qWait(150); // nothing more follows
    ASSERT_EQ(log.Flights.size(), 1u);
    EXPECT_FALSE(log.Flights[0].Expand);
    EXPECT_FALSE(log.Flights[0].MainVisible) << "hidden before the flight";
    EXPECT_EQ(log.Flights[0].Start, QRect(frame.x(), frame.y(), frame.width(), TFlyngForm::StripHeight));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.isMinimized()) << "a minimised window would keep its taskbar entry";
    EXPECT_TRUE(form.TrayIcon()->isVisible());

    form.EspandiExecute();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, TrayReduce,
    testing::Values(TReduceCase{"riduci", [](TMainForm &f) { f.Form().Riduci->trigger(); }},
                    TReduceCase{"tray_icon_command", [](TMainForm &f) { f.Form().TrayIconCommand->trigger(); }},
                    TReduceCase{"minimise_request", [](TMainForm &f) { f.setWindowState(Qt::WindowMinimized); }},
                    TReduceCase{"show_minimized", [](TMainForm &f) { f.showMinimized(); }},
                    TReduceCase{"close_while_visible", [](TMainForm &f) { f.close(); }}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(Tray, OtherSystemCommandsAreNotTaken)
{
    EXPECT_FALSE(form.WMSysCommand(61728)); // SC_RESTORE
    EXPECT_FALSE(form.WMSysCommand(61488)); // SC_MAXIMIZE
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(log.Flights.empty());
}

struct TNotifyCase
{
    const char *name;
    int wParam, lParam;
    bool expands;
    friend void PrintTo(const TNotifyCase &c, std::ostream *os) { *os << c.name; }
};

class TrayNotify : public Tray, public testing::WithParamInterface<TNotifyCase>
{
};

TEST_P(TrayNotify, ButtonReleaseExpandsTheHiddenWindowToTheFront)
{
    const TNotifyCase &c = GetParam();
    Reduce();
    QCoreApplication::postEvent(&form, new TTrayNotifyEvent(c.wParam, c.lParam));
    if (c.expands) {
        ASSERT_TRUE(WaitFor([&] { return form.isVisible(); }));
        ASSERT_EQ(log.Flights.size(), 1u);
        EXPECT_TRUE(log.Flights[0].Expand);
        EXPECT_FALSE(log.Flights[0].MainVisible) << "shown after the flight";
        EXPECT_TRUE(log.AllClosed());
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    } else {
        QTest::qWait(250);
        EXPECT_FALSE(form.isVisible());
        EXPECT_TRUE(log.Flights.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, TrayNotify,
    testing::Values(TNotifyCase{"left_release", 1006, 514, true}, TNotifyCase{"right_release", 1006, 517, true},
                    TNotifyCase{"second_start_wake_up", 0, 514, true}, TNotifyCase{"left_press", 1006, 513, false},
                    TNotifyCase{"right_press", 1006, 516, false}, TNotifyCase{"middle_release", 1006, 520, false},
                    TNotifyCase{"mouse_move", 1006, 512, false}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(Tray, ExpandWhileShownStillFliesAndComesToTheFront)
{
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    form.EspandiExecute();
    ASSERT_EQ(log.Flights.size(), 1u);
    EXPECT_TRUE(log.Flights[0].Expand);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
}

struct TClickCase
{
    const char *name;
    QSystemTrayIcon::ActivationReason reason;
    std::vector<std::pair<int, int>> messages;
    friend void PrintTo(const TClickCase &c, std::ostream *os) { *os << c.name; }
};

class TrayClick : public Tray, public testing::WithParamInterface<TClickCase>
{
};

TEST_P(TrayClick, ReachesTheWindowAsOneButtonRelease)
{
    TTrayMessages messages(form);
    Click(GetParam().reason);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(messages.Received, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, TrayClick,
    testing::Values(TClickCase{"left_click", QSystemTrayIcon::Trigger, {{1006, 514}}},
                    TClickCase{"second_click_of_a_double_click", QSystemTrayIcon::DoubleClick, {{1006, 514}}},
                    TClickCase{"right_click", QSystemTrayIcon::Context, {{1006, 517}}},
                    TClickCase{"middle_click", QSystemTrayIcon::MiddleClick, {{1006, 520}}},
                    TClickCase{"unknown", QSystemTrayIcon::Unknown, {}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(Tray, PressingAButtonAloneDoesNothingUntilItIsReleased)
{
    TTrayMessages messages(form);
    QWidget icon; // stands in for the icon's own window, which the notification area holds
    icon.resize(22, 22);
    icon.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&icon));

    QTest::mousePress(icon.windowHandle(), Qt::LeftButton);
    Click(QSystemTrayIcon::Trigger);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(messages.Received.empty());
    QTest::mouseRelease(icon.windowHandle(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(messages.Received, (std::vector<std::pair<int, int>>{{1006, 514}}));

    QTest::mousePress(icon.windowHandle(), Qt::RightButton);
    Click(QSystemTrayIcon::Context);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(messages.Received.size(), 1u);
    QTest::mouseRelease(icon.windowHandle(), Qt::RightButton);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(messages.Received.back(), std::make_pair(1006, 517));
}

TEST_F(Tray, DoubleClickPlaysTwoNestedExpandFlightsAndEndsShown)
{
    Reduce();
    Click(QSystemTrayIcon::Trigger);
    // The second click arrives while the first strip waits for its tick.
    QTimer::singleShot(30, &form, [this] { Click(QSystemTrayIcon::DoubleClick); });
    ASSERT_TRUE(WaitFor([&] { return log.Flights.size() == 2 && log.AllClosed(); }));
    EXPECT_TRUE(log.Flights[0].Expand);
    EXPECT_TRUE(log.Flights[1].Expand);
    EXPECT_EQ(log.Order.mid(0, 2), (QStringList{u"1 shown"_s, u"2 shown"_s})) << "the second flight is nested";
    EXPECT_TRUE(form.isVisible());
    QTest::qWait(150);
    EXPECT_EQ(log.Flights.size(), 2u);
}

TEST_F(Tray, AlarmShowsTheHiddenWindowWithoutAFlight)
{
    Reduce();
    form.Form().AlarmPicker1->setTime(QTime(7, 0, 0));
    form.Form().CBAlarm1->setChecked(true);
    clock.AdvanceMs(100);
    form.MyTimerTimer();
    EXPECT_EQ(sound.Played.size(), 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(log.Flights.empty());
}

} // namespace
