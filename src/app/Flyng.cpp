#include "app/Flyng.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionTitleBar>

#include <cstdint>

namespace {

// A stored position can put the main window anywhere; the distance is taken in 64 bits so that it cannot
// overflow, and the 20th of it fits an int again.
int StepTowards(int from, int to, int steps)
{
    return int((std::int64_t(to) - from) / steps);
}

} // namespace

QRect TFlyngForm::PrimaryScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

TFlyngForm::TFlyngForm(QWidget *owner, bool expand, const QWidget &mainWin, const QRect &screen)
    : QDialog(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint), MainWin(mainWin), Expand(expand)
{
    setWindowTitle(QString());
    // Only the main window is blocked, not the tray icon: a second click on it during the wait for the tick
    // starts a flight of its own, nested in this one.
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_ShowWithoutActivating);

    // The main window's outer frame: the strip leaves from, or arrives at, where its title bar is.
    const QRect main = MainWin.frameGeometry();
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    StepWidth = main.width() / Steps;
    // The 2 is taken from each step, not from the whole way: the flight ends some 40 pixels left of the edge.
    StepX = StepTowards(main.x(), screenRight, Steps) - 2;
    StepY = StepTowards(main.y(), screenBottom, Steps);
    if (Expand)
        setGeometry(screenRight - 30, screenBottom, StepWidth, StripHeight);
    else
        setGeometry(main.x(), main.y(), main.width(), StripHeight);

    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &TFlyngForm::Timer1Timer);
    Timer1.start();
}

TFlyngForm::~TFlyngForm() = default;

void TFlyngForm::Timer1Timer()
{
    Timer1.stop();
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
    if (Expand)
        MoveFromTray();
    else
        MoveToTray();
}

void TFlyngForm::MoveToTray()
{
    for (int step = 0; step < Steps; ++step)
        Step(StepX, StepY, -StepWidth);
    close();
}

void TFlyngForm::MoveFromTray()
{
    for (int step = 0; step < Steps; ++step)
        Step(-StepX, -StepY, StepWidth);
    close();
}

void TFlyngForm::Step(int dx, int dy, int dWidth)
{
    // Three moves, each from the strip's geometry as the previous one left it: a width the platform refuses stays
    // at what it allowed. The repaint puts each position on screen without letting any event through.
    move(x() + dx, y());
    repaint();
    move(x(), y() + dy);
    repaint();
    resize(width() + dWidth, height());
    repaint();
}

void TFlyngForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    QStyleOptionTitleBar option;
    option.initFrom(this);
    option.rect = rect();
    option.text.clear();
    option.titleBarFlags = Qt::Window; // no system menu and no buttons
    option.titleBarState = QStyle::State_Active;
    option.state |= QStyle::State_Active;
    option.subControls = QStyle::SC_TitleBarLabel;
    option.activeSubControls = QStyle::SC_None;
    style()->drawComplexControl(QStyle::CC_TitleBar, &option, &painter, this);
}
