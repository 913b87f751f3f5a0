#include "app/AppIcon.h"
#include "app/Main.h"

#include "platform/Clock.h"
#include "platform/ConfigPath.h"
#include "platform/Notice.h"
#include "platform/Platform.h"
#include "platform/SingleInstance.h"
#include "platform/SntpClient.h"
#include "platform/SoundPlayer.h"
#include "platform/SystemClockSetter.h"
#include "platform/Termination.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char **argv)
{
    // Windows place themselves (the stored position, the flying strip), which Wayland does not allow: on a Wayland
    // desktop run through XWayland unless the user chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tocsinet"));
    QApplication::setDesktopFileName(QStringLiteral("tocsinet"));
    QApplication::setWindowIcon(AppIcon());
    // The window hides to the tray and flying windows come and go: only Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TSingleInstance instance(QStringLiteral("tocsinet"));
    if (!instance.Acquire()) {
        instance.SendWakeUp(WM_LBUTTONUP);
        return 0;
    }

    TSystemClock clock;
    TSoundPlayer sound;
    TQtNotice notice;
    TSystemClockSetter clockSetter;
    SntpClient sntp;
    TPlatform platform{clock, sound, notice, clockSetter, sntp};

    TMainForm form(platform, SettingsFilePath(QApplication::applicationFilePath()));
    MainForm = &form;
    instance.OnWakeUp = [&form](int lParam) { QCoreApplication::postEvent(&form, new TTrayNotifyEvent(0, lParam)); };

    TTermination termination;
    QObject::connect(&termination, &TTermination::Requested, &form, &TMainForm::EndSession);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &) {
        form.EndSession();
    });

    form.show();
    QApplication::exec();
    MainForm = nullptr;
    return 0;
}
