#pragma once

#include <QDialog>

#include <memory>

struct TAlarmSettings;
struct TPlatform;
class QShowEvent;

namespace Ui {
class TSyncClockForm;
}

// Sets the computer's clock from an Internet time server and reports the clock's value before and after. Shown
// modally for one use; every attempt with a host stores it in the settings' HostTimeServer.
class TSyncClockForm : public QDialog
{
    Q_OBJECT
public:
    TSyncClockForm(QWidget *owner, TAlarmSettings &settings, TPlatform &platform);
    ~TSyncClockForm() override;

public Q_SLOTS:
    void FormShow();
    // Asks the server (blocking this thread for up to the client's time-out), sets the time of day and then the
    // date, reports the old and new values and closes; any failure is shown in an error box and leaves it open.
    void OkButtonClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ShowError(const QString &text);

    std::unique_ptr<Ui::TSyncClockForm> ui;
    TAlarmSettings &m_settings;
    TPlatform &m_platform;
};
