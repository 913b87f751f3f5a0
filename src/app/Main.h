#pragma once

#include "dialogs/AlarmSettings.h"
#include "platform/DateTime.h"

#include <QEvent>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>

class QCheckBox;
class QLineEdit;
class QTimeEdit;
class QSystemTrayIcon;
class TIniFile;
struct TPlatform;

namespace Ui {
class TMainForm;
}

// The tray callback and the wake-up of a second start, as one event type: wParam is the icon's identifier (0 for
// a wake-up), lParam the mouse message.
inline constexpr int WM_TRAYNOTIFY = 32868;
inline constexpr int WM_LBUTTONUP = 514;
inline constexpr int WM_RBUTTONUP = 517;
inline constexpr int SC_MINIMIZE = 61472; // the minimise command, which reduces the window to the tray

class TTrayNotifyEvent final : public QEvent
{
public:
    TTrayNotifyEvent(int wParam, int lParam) : QEvent(Type(WM_TRAYNOTIFY)), WParam(wParam), LParam(lParam) {}
    const int WParam;
    const int LParam;
};

// The alarm clock's one window: the current time, three alarm rows and the commands.
class TMainForm : public QMainWindow, public TAlarmSettings
{
    Q_OBJECT
public:
    enum class TrayAction : std::uint8_t { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };
    static constexpr int ModalResultCancel = 2; // Exit's mark that the user really wants to quit

    // settingsFile: the INI file read at the first show and written at the close.
    TMainForm(TPlatform &platform, const QString &settingsFile, QWidget *parent = nullptr);
    ~TMainForm() override;

    // The outer size the window keeps whatever is dragged or stored.
    static constexpr int FixedWidth = 302;
    static constexpr int FixedHeight = 227;

    bool FirstShow = true;
    std::unique_ptr<TIniFile> IniFile; // open from the first show to the close
    int LastPreAlarmSec = 0;
    TDateTime TimerTarget1 = 0;
    TDateTime TimerTarget2 = 0;
    TDateTime TimerTarget3 = 0;
    QTimer MyTimer;

    Ui::TMainForm &Form() { return *ui; }
    int ModalResult() const { return m_modalResult; }

    // Adds, pictures or removes the notification-area icon; false when there is no icon or no notification area.
    bool NotifyTray(TrayAction action);
    // The notification-area icon, from the first show to the close; null before and after.
    QSystemTrayIcon *TrayIcon() const { return m_trayIcon.get(); }
    void CheckAlarm(QTimeEdit *Picker, QCheckBox *Box, TDateTime Target, QLineEdit *RemEdit);

public Q_SLOTS:
    void FormShow();
    void FormResize();
    void FormCloseQuery(bool &CanClose);
    // False when the settings could not be written: the window then stays and the program runs on.
    bool FormClose();
    // The desktop session ends or the process is told to stop: the close sequence runs as for Exit, without
    // asking anything, and the program ends even if the settings could not be written.
    void EndSession();
    void MyTimerTimer();
    void SetLabelMode();
    void CBAlarm1Click();
    void CBAlarm2Click();
    void CBAlarm3Click();
    void ExitCommandClick();
    void OptButtonClick();
    void AboutCommandClick();
    void InternetSyncCommandClick();
    void RiduciExecute();
    void EspandiExecute();
    void WMTrayNotify(int wParam, int lParam);
    // True when the command was taken here: minimising reduces the window to the tray instead.
    bool WMSysCommand(int wParam);

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // What a row needs beyond its controls so that a target second that no tick saw still rings once.
    struct TRowWatch
    {
        TDateTime LastCheck = 0; // local date-time of the row's previous check, or of its arming
        TDateTime TimerDue = 0;  // timer mode: the absolute local date-time the count-down ends
    };

    void FitToFont();
    void LoadSettings();
    bool SaveSettings();
    void ArmRow(int row);
    int RowOf(const QCheckBox *box) const;
    bool MissedTarget(int row, TDateTime target, TDateTime now) const;

    std::unique_ptr<Ui::TMainForm> ui;
    TPlatform &m_platform;
    QString m_settingsFile;
    std::array<TRowWatch, 3> m_watch;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    bool m_reducePending = false; // a minimise's reduce is queued
    int m_modalResult = 0;
};

// The application's main window, set once by main().
extern TMainForm *MainForm;
