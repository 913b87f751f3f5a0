#pragma once

#include <QDialog>
#include <QRect>
#include <QTimer>

class QPaintEvent;

// The strip, looking like a bare title bar, that flies between the main window's place and the bottom-right corner
// of the screen, where the notification area is, when the window is reduced to the tray or expanded back from it.
// Made for one flight: the caller shows it modally (exec()) and destroys it when that returns. About 100 ms after
// construction its one tick flies the whole way in 20 steps and closes it. Positions are X11 window positions.
class TFlyngForm : public QDialog
{
    Q_OBJECT
public:
    // The primary screen's area in window coordinates; its bottom-right corner is where the tray is.
    static QRect PrimaryScreen();

    // owner: the window the strip belongs to (the main window). expand: false flies from mainWin's place to the
    // tray, true from the tray to mainWin's place. mainWin's outer position and width, read here, shape the flight.
    TFlyngForm(QWidget *owner, bool expand, const QWidget &mainWin, const QRect &screen = PrimaryScreen());
    ~TFlyngForm() override;

    static constexpr int StripHeight = 20; // pixels
    const QWidget &MainWin;
    const bool Expand;
    const int Steps = 20;
    int StepX = 0;     // pixels right per step towards the tray
    int StepY = 0;     // pixels down per step towards the tray
    int StepWidth = 0; // pixels the strip narrows per step towards the tray
    QTimer Timer1;     // single tick, 100 ms after construction

public Q_SLOTS:
    // Lets the waiting events through, then flies and closes the strip. Nothing is processed between the moves.
    void Timer1Timer();
    // 20 steps of +StepX, +StepY, -StepWidth, each a move of its own from where the previous one left the strip.
    void MoveToTray();
    // 20 steps of -StepX, -StepY, +StepWidth.
    void MoveFromTray();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Step(int dx, int dy, int dWidth);
};
