// The yardstick for the program's start-up and idle cost: a bare Qt Widgets window whose label shows the time,
// updated by a 100 ms timer.
#include <QApplication>
#include <QLabel>
#include <QTime>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label;
    label.setWindowTitle(QStringLiteral("Bare"));
    label.resize(302, 227);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &label,
                     [&label] { label.setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))); });
    timer.start(100);
    label.show();
    return QApplication::exec();
}
