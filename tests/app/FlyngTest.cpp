#include "support/TestSupport.h"

#include "app/Flyng.h"

#include <QElapsedTimer>
#include <QWidget>

#include <limits>
#include <vector>

namespace {

const QRect Screen1024{0, 0, 1024, 768};
constexpr int FarLeft = std::numeric_limits<int>::min() + 100;

struct TFlightCase
{
    const char *name;
    QRect screen;
    QRect main; // the main window's outer frame
    bool expand;
    int stepX, stepY, stepWidth;
    QRect start, end;
    friend void PrintTo(const TFlightCase &c, std::ostream *os) { *os << c.name; }
};

class FlyngGeometry : public testing::TestWithParam<TFlightCase>
{
};

TEST_P(FlyngGeometry, StepsAndEndsFollowTheScreenAndTheMainWindow)
{
    const TFlightCase &c = GetParam();
    QWidget main;
    main.setGeometry(c.main);
    TFlyngForm flight(nullptr, c.expand, main, c.screen);
    flight.Timer1.stop();
    EXPECT_EQ(flight.StepX, c.stepX);
    EXPECT_EQ(flight.StepY, c.stepY);
    EXPECT_EQ(flight.StepWidth, c.stepWidth);
    EXPECT_EQ(flight.geometry(), c.start);
    flight.Timer1Timer();
    EXPECT_EQ(flight.geometry(), c.end);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Flights, FlyngGeometry,
    testing::Values(
        TFlightCase{"worked_example_reduce", Screen1024, {100, 100, 302, 227}, false, 44, 33, 15,
                    {100, 100, 302, 20}, {980, 760, 2, 20}},
        TFlightCase{"worked_example_expand", Screen1024, {100, 100, 302, 227}, true, 44, 33, 15,
                    {994, 768, 15, 20}, {114, 108, 315, 20}},
        // (1024 - 1200) / 20 truncates to -8, not -9; (768 - 800) / 20 to -1: the strip moves left and up.
        TFlightCase{"main_right_of_and_below_screen", Screen1024, {1200, 800, 302, 227}, false, -10, -1, 15,
                    {1200, 800, 302, 20}, {1000, 780, 2, 20}},
        TFlightCase{"divisions_drop_the_remainder", Screen1024, {0, 0, 310, 227}, false, 49, 38, 15,
                    {0, 0, 310, 20}, {980, 760, 10, 20}},
        // The tray is at the primary screen's corner, wherever that screen sits on the desktop.
        TFlightCase{"primary_screen_right_of_another", {1920, 0, 1280, 1024}, {2000, 200, 302, 227}, true, 58, 41, 15,
                    {3170, 1024, 15, 20}, {2010, 204, 315, 20}},
        // A stored position as far left as an int goes: the distance to the screen's edge does not fit an int.
        TFlightCase{"stored_position_at_int_min", Screen1024, {FarLeft, 100, 302, 227}, false, 107374226, 33, 15,
                    {FarLeft, 100, 302, 20}, {972, 760, 2, 20}}),
    [](const auto &row) { return std::string(row.param.name); });
// clang-format on

// Records the strip's geometry at each move or resize, and whether an event posted at the first move got through.
class TFlightRecorder : public QObject
{
public:
    explicit TFlightRecorder(QWidget &strip) : m_strip(strip) { strip.installEventFilter(this); }

    std::vector<QRect> Moves;
    int PostedSeenAfter = -1; // moves made when the posted event was delivered; -1 while it waits

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            if (Moves.empty())
                QCoreApplication::postEvent(this, new QEvent(QEvent::User));
            Moves.push_back(m_strip.geometry());
        }
        return false;
    }
    void customEvent(QEvent *) override { PostedSeenAfter = int(Moves.size()); }

private:
    QWidget &m_strip;
};

TEST(FlyngMoves, EachOfSixtyMovesStartsWherePreviousLeftWithNoEventBetween)
{
    QWidget main;
    main.setGeometry(100, 100, 302, 227);
    TFlyngForm flight(nullptr, true, main, Screen1024);
    flight.Timer1.stop();
    // A platform that refuses a strip narrower than 40: the flight grows from there, not from its own 15.
    flight.setMinimumWidth(40);
    flight.show();
    QCoreApplication::processEvents();
    TFlightRecorder recorder(flight);
    flight.Timer1Timer();
    EXPECT_EQ(recorder.PostedSeenAfter, -1) << "nothing is processed during the flight";
    EXPECT_FALSE(flight.isVisible()) << "the strip closes itself after the flight";

    ASSERT_EQ(recorder.Moves.size(), 60u);
    QRect previous(994, 768, 40, 20);
    for (size_t i = 0; i < recorder.Moves.size(); ++i) {
        QRect expected = previous;
        if (i % 3 == 0)
            expected.moveLeft(previous.x() - 44);
        else if (i % 3 == 1)
            expected.moveTop(previous.y() - 33);
        else
            expected.setWidth(previous.width() + 15);
        EXPECT_EQ(recorder.Moves[i], expected) << "move " << i + 1;
        previous = recorder.Moves[i];
    }
    EXPECT_EQ(recorder.Moves.back(), QRect(114, 108, 340, 20));
}

TEST(FlyngModal, ShowModalWaitsForTheTickThenReturnsClosed)
{
    QWidget main;
    main.setGeometry(100, 100, 302, 227);
    TFlyngForm flight(nullptr, false, main, Screen1024);
    QElapsedTimer clock;
    clock.start();
    flight.exec();
    EXPECT_GE(clock.elapsed(), 90);
    EXPECT_FALSE(flight.isVisible());
    EXPECT_EQ(flight.geometry(), QRect(980, 760, 2, 20));
}

} // namespace
