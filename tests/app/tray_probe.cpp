// What the tray's end-to-end test cannot see with the X tools alone.
// Usage: tray_probe available            exits 0 once a notification area is there (waits up to 10 s)
//        tray_probe tip <window> <text>  exits 0 when X window <window> shows exactly the tooltip <text>: it is
//                                        compared pixel for pixel with a tooltip of that text shown here
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

#include <cstdio>

namespace {

QWidget *ShownTip()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->inherits("QTipLabel"))
            return w;
    }
    return nullptr;
}

// The screen's pixels of a window, or of an area of the screen when window is 0.
QImage Grab(WId window, const QRect &area = QRect(0, 0, -1, -1))
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(window, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

int Available()
{
    QElapsedTimer clock;
    clock.start();
    while (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (clock.elapsed() > 10000)
            return 1;
        QCoreApplication::processEvents();
        QThread::msleep(100);
    }
    return 0;
}

int Tip(WId window, const QString &text)
{
    // Far from the tray, so that neither tooltip hides the other.
    QToolTip::showText(QPoint(20, 300), text);
    // A running loop, not a busy one: the window reaches the X server only when the loop waits.
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    QWidget *tip = ShownTip();
    if (!tip) {
        std::fprintf(stderr, "tray_probe: no tooltip of its own to compare with\n");
        return 2;
    }
    const QImage expected = Grab(0, tip->frameGeometry());
    const QImage seen = Grab(window);
    if (seen.isNull() || seen.size() != expected.size() || seen != expected) {
        std::fprintf(stderr, "tray_probe: window 0x%llx (%dx%d) does not show \"%s\" (%dx%d)\n",
                     static_cast<unsigned long long>(window), seen.width(), seen.height(), qPrintable(text),
                     expected.width(), expected.height());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (command == QLatin1String("available") && argc == 2)
        return Available();
    if (command == QLatin1String("tip") && argc == 4) {
        bool ok = false;
        const WId window = QString::fromLocal8Bit(argv[2]).toULongLong(&ok, 0);
        if (ok)
            return Tip(window, QString::fromLocal8Bit(argv[3]));
    }
    std::fprintf(stderr, "usage: tray_probe available | tray_probe tip <window> <text>\n");
    return 2;
}
