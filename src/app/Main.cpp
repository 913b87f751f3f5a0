#include "app/Main.h"

#include "ui_Main.h"

#include "app/AppIcon.h"
#include "app/Flyng.h"
#include "app/StoredSettings.h"
#include "dialogs/About.h"
#include "dialogs/Options.h"
#include "dialogs/SyncClock.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/Notice.h"
#include "platform/Platform.h"
#include "platform/Sound.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimeEdit>
#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QMenuBar>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QSystemTrayIcon>

#include <cmath>

TMainForm *MainForm = nullptr;

namespace {

// The client area below the menu bar as the controls were laid out; it grows only if the font needs more room.
constexpr int ClientWidth = 294;
constexpr int ClientHeight = 180;
constexpr int RightMargin = 25;

std::int64_t Msecs(TDateTime value)
{
    return std::llround(value * double(MsecsPerDay));
}

TDateTime TimeOfDay(TDateTime value)
{
    return value - std::floor(value);
}

// Ten ticks a second mostly write what is already shown; an unchanged text must not cost a repaint.
void SetTextIfChanged(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

QFont SansSerif(int pixelSize, bool bold = false)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setFamilies({QStringLiteral("sans-serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

TMainForm::TMainForm(TPlatform &platform, const QString &settingsFile, QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), m_platform(platform), m_settingsFile(settingsFile)
{
    setFont(SansSerif(11));
    ui->setupUi(this);
    ui->TimePanel->setFont(SansSerif(13, true));
    for (QLineEdit *edit : {ui->RemEdit1, ui->RemEdit2, ui->RemEdit3}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        edit->setPalette(palette);
    }
    FitToFont();
    move(197, 131);

    MyTimer.setInterval(100);
    // Queued, so that a modal loop opened inside a tick (a dialog, a flight) does not hold back the next ticks:
    // alarms must go on ringing while a dialog is open.
    connect(&MyTimer, &QTimer::timeout, this, &TMainForm::MyTimerTimer, Qt::QueuedConnection);
    // toggled, not clicked: the handlers also run when the program ticks or unticks a box.
    connect(ui->CBAlarm1, &QCheckBox::toggled, this, &TMainForm::CBAlarm1Click);
    connect(ui->CBAlarm2, &QCheckBox::toggled, this, &TMainForm::CBAlarm2Click);
    connect(ui->CBAlarm3, &QCheckBox::toggled, this, &TMainForm::CBAlarm3Click);
    connect(ui->OptButton, &QPushButton::clicked, this, &TMainForm::OptButtonClick);
    connect(ui->SyncButton, &QPushButton::clicked, this, &TMainForm::InternetSyncCommandClick);
    connect(ui->InternetSyncCommand, &QAction::triggered, this, &TMainForm::InternetSyncCommandClick);
    connect(ui->TrayIconCommand, &QAction::triggered, this, &TMainForm::RiduciExecute);
    connect(ui->ExitCommand, &QAction::triggered, this, &TMainForm::ExitCommandClick);
    connect(ui->OptionsCommand, &QAction::triggered, this, &TMainForm::OptButtonClick);
    connect(ui->AboutCommand, &QAction::triggered, this, &TMainForm::AboutCommandClick);
    connect(ui->Riduci, &QAction::triggered, this, &TMainForm::RiduciExecute);
    connect(ui->Espandi, &QAction::triggered, this, &TMainForm::EspandiExecute);
}

TMainForm::~TMainForm() = default;

void TMainForm::FitToFont()
{
    // The layout was drawn for a narrow bitmap font. Positions and heights stay; a control whose text would be
    // clipped in the user's font grows to the right, and the right-hand column moves its edge with it.
    auto grow = [](QWidget *w, int need) {
        if (need > w->width())
            w->resize(need, w->height());
    };
    const QFontMetrics fm(font());
    QStyle *style = this->style();
    for (QLabel *label : {ui->LabAlarm1, ui->LabAlarm2, ui->LabAlarm3})
        grow(label, fm.horizontalAdvance(QStringLiteral("Timer #3")) + 1);
    for (QTimeEdit *picker : {ui->AlarmPicker1, ui->AlarmPicker2, ui->AlarmPicker3})
        grow(picker, picker->minimumSizeHint().width());
    for (QCheckBox *box : {ui->CBAlarm1, ui->CBAlarm2, ui->CBAlarm3}) {
        grow(box, box->sizeHint().width());
        box->move(std::max(box->x(), ui->AlarmPicker1->geometry().right() + 3), box->y());
    }
    int right = ui->TimePanel->geometry().right();
    for (QLineEdit *edit : {ui->RemEdit1, ui->RemEdit2, ui->RemEdit3}) {
        // The text, QLineEdit's inner margins and the frame on both sides.
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
        grow(edit, fm.horizontalAdvance(QStringLiteral("00:00:00")) + 2 * 2 + 2 * frame + 2);
        edit->move(std::max(edit->x(), ui->CBAlarm1->geometry().right() + 3), edit->y());
        right = std::max(right, edit->geometry().right());
    }
    for (QPushButton *button : {ui->OptButton, ui->SyncButton})
        grow(button, fm.horizontalAdvance(button->text()) + 16);
    if (ui->SyncButton->x() < ui->OptButton->geometry().right() + 5)
        ui->SyncButton->move(ui->OptButton->geometry().right() + 5, ui->SyncButton->y());
    right = std::max(right, ui->SyncButton->geometry().right());
    // Keep the right column flush: the clock, the remaining times and the sync button share one edge.
    ui->TimePanel->resize(right - ui->TimePanel->x() + 1, ui->TimePanel->height());
    for (QWidget *w : {static_cast<QWidget *>(ui->RemEdit1), static_cast<QWidget *>(ui->RemEdit2),
                       static_cast<QWidget *>(ui->RemEdit3), static_cast<QWidget *>(ui->SyncButton)})
        w->resize(right - w->x() + 1, w->height());

    const int width = std::max(ClientWidth, right + RightMargin);
    ui->ClientArea->setFixedSize(width, ClientHeight);
    setFixedSize(width, ClientHeight + menuBar()->sizeHint().height());
}

bool TMainForm::event(QEvent *event)
{
    if (event->type() == QEvent::Type(WM_TRAYNOTIFY)) {
        const auto *notify = static_cast<TTrayNotifyEvent *>(event);
        WMTrayNotify(notify->WParam, notify->LParam);
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TMainForm::FormShow()
{
    if (!FirstShow)
        return;
    FirstShow = false;
    NotifyTray(TrayAction::NIM_ADD);
    NotifyTray(TrayAction::NIM_MODIFY);
    LoadSettings();
    SetLabelMode();
    MyTimer.start();
    MyTimerTimer();
}

void TMainForm::FormResize()
{
    if (size() != minimumSize())
        resize(minimumSize());
}

void TMainForm::FormCloseQuery(bool &CanClose)
{
    if (m_modalResult != ModalResultCancel && isVisible()) {
        CanClose = false;
        RiduciExecute();
    }
}

bool TMainForm::FormClose()
{
    if (!SaveSettings()) {
        m_platform.Notice.Error(this, IniFile->ErrorString());
        return false;
    }
    IniFile.reset();
    NotifyTray(TrayAction::NIM_DELETE);
    QCoreApplication::quit();
    return true;
}

void TMainForm::EndSession()
{
    m_modalResult = ModalResultCancel;
    if (!SaveSettings())
        qWarning("%s", qPrintable(IniFile->ErrorString()));
    IniFile.reset();
    NotifyTray(TrayAction::NIM_DELETE);
    QCoreApplication::quit();
}

void TMainForm::LoadSettings()
{
    IniFile = std::make_unique<TIniFile>(m_settingsFile);
    const TStoredSettings stored = LoadStoredSettings(*IniFile);
    move(stored.MainLeft, stored.MainTop);
    resize(stored.MainWidth, stored.MainHeight);
    static_cast<TAlarmSettings &>(*this) = stored.Alarm;
    ui->AlarmPicker1->setTime(stored.Time[0]);
    ui->AlarmPicker2->setTime(stored.Time[1]);
    ui->AlarmPicker3->setTime(stored.Time[2]);
    const std::array<bool, 3> checks = stored.ChecksToRestore();
    QCheckBox *boxes[] = {ui->CBAlarm1, ui->CBAlarm2, ui->CBAlarm3};
    for (int row = 0; row < 3; ++row) {
        if (checks[row])
            boxes[row]->setChecked(true); // runs the row's click handler, as a user's tick would
    }
}

bool TMainForm::SaveSettings()
{
    if (!IniFile)
        return true; // never shown, so nothing was read that could be written back
    TStoredSettings stored;
    const QRect frame = frameGeometry();
    stored.MainLeft = frame.x();
    stored.MainTop = frame.y();
    stored.MainWidth = frame.width();
    stored.MainHeight = frame.height();
    stored.Alarm = *this;
    stored.Time = {ui->AlarmPicker1->time(), ui->AlarmPicker2->time(), ui->AlarmPicker3->time()};
    stored.Check = {ui->CBAlarm1->isChecked(), ui->CBAlarm2->isChecked(), ui->CBAlarm3->isChecked()};
    return SaveStoredSettings(*IniFile, stored);
}

void TMainForm::ExitCommandClick()
{
    m_modalResult = ModalResultCancel;
    close();
}

void TMainForm::OptButtonClick()
{
    TOptionsForm dialog(this, *this, m_platform);
    if (dialog.exec() == QDialog::Accepted)
        SetLabelMode(); // the rows' labels follow a changed user mode at once
}

void TMainForm::AboutCommandClick()
{
    TAboutForm dialog(this);
    dialog.exec();
}

void TMainForm::InternetSyncCommandClick()
{
    TSyncClockForm dialog(this, *this, m_platform);
    dialog.exec();
}

namespace {

constexpr int TrayIconId = 1006;
constexpr int WM_MBUTTONUP = 520;

// Passes the icon's clicks on to the window as the button releases that its tray handler answers. The icon reports
// a click as soon as the button goes down (a double click as a second report); the message waits for the release.
class TTrayClicks final : public QObject
{
public:
    TTrayClicks(QSystemTrayIcon &icon, QObject &window) : QObject(&icon), m_window(window)
    {
        connect(&icon, &QSystemTrayIcon::activated, this, &TTrayClicks::Activated);
    }

    void Activated(QSystemTrayIcon::ActivationReason reason)
    {
        const Qt::MouseButton button = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick
                                           ? Qt::LeftButton
                                       : reason == QSystemTrayIcon::Context     ? Qt::RightButton
                                       : reason == QSystemTrayIcon::MiddleClick ? Qt::MiddleButton
                                                                                : Qt::NoButton;
        if (button == Qt::NoButton)
            return;
        if (!(QGuiApplication::mouseButtons() & button)) {
            Post(button); // reported on release, or by a tray service that has no buttons to wait for
            return;
        }
        if (!m_awaited)
            QCoreApplication::instance()->installEventFilter(this);
        m_awaited |= button;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonRelease)
            return false;
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (!(m_awaited & button))
            return false;
        m_awaited &= ~button;
        if (!m_awaited)
            QCoreApplication::instance()->removeEventFilter(this);
        Post(button);
        return false;
    }

private:
    void Post(Qt::MouseButton button)
    {
        const int lParam = button == Qt::LeftButton    ? WM_LBUTTONUP
                           : button == Qt::RightButton ? WM_RBUTTONUP
                                                       : WM_MBUTTONUP;
        QCoreApplication::postEvent(&m_window, new TTrayNotifyEvent(TrayIconId, lParam));
    }

    QObject &m_window;
    Qt::MouseButtons m_awaited;
};

} // namespace

bool TMainForm::NotifyTray(TrayAction action)
{
    switch (action) {
    case TrayAction::NIM_ADD: {
        if (m_trayIcon)
            return false;
        // Added with a blank picture and no tip; NIM_MODIFY gives it both.
        QPixmap blank(32, 32);
        blank.fill(Qt::transparent);
        m_trayIcon = std::make_unique<QSystemTrayIcon>(QIcon(blank));
        new TTrayClicks(*m_trayIcon, *this); // owned by the icon
        m_trayIcon->show();
        return QSystemTrayIcon::isSystemTrayAvailable();
    }
    case TrayAction::NIM_MODIFY:
        if (!m_trayIcon)
            return false;
        m_trayIcon->setIcon(AppIcon());
        m_trayIcon->setToolTip(QStringLiteral("Tocsinet"));
        return QSystemTrayIcon::isSystemTrayAvailable();
    case TrayAction::NIM_DELETE:
        if (!m_trayIcon)
            return false;
        m_trayIcon->hide();
        m_trayIcon.reset();
        return true;
    }
    return false;
}

void TMainForm::RiduciExecute()
{
    hide();
    TFlyngForm flight(this, false, *this);
    flight.exec();
}

void TMainForm::EspandiExecute()
{
    {
        TFlyngForm flight(this, true, *this);
        flight.exec();
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TMainForm::WMTrayNotify(int /*wParam*/, int lParam)
{
    if (lParam == WM_LBUTTONUP || lParam == WM_RBUTTONUP)
        EspandiExecute();
}

bool TMainForm::WMSysCommand(int wParam)
{
    if (wParam != SC_MINIMIZE)
        return false;
    // Never left minimised: the window leaves the screen and the taskbar at once. The flight, a modal loop, starts
    // once the request that minimised the window has run its course.
    hide();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (!m_reducePending) {
        m_reducePending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_reducePending = false;
                RiduciExecute();
            },
            Qt::QueuedConnection);
    }
    return true;
}

void TMainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    if (isVisible())
        WMSysCommand(SC_MINIMIZE);
    else // a late report of a minimise already taken, or a request while hidden: nothing to fly, nothing to keep
        setWindowState(windowState() & ~Qt::WindowMinimized);
}

void TMainForm::MyTimerTimer()
{
    ui->TimePanel->setText(TimeText(m_platform.Clock.Time()));
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
    CheckAlarm(ui->AlarmPicker1, ui->CBAlarm1, TimerTarget1, ui->RemEdit1);
    CheckAlarm(ui->AlarmPicker2, ui->CBAlarm2, TimerTarget2, ui->RemEdit2);
    CheckAlarm(ui->AlarmPicker3, ui->CBAlarm3, TimerTarget3, ui->RemEdit3);
}

int TMainForm::RowOf(const QCheckBox *box) const
{
    return box == ui->CBAlarm1 ? 0 : box == ui->CBAlarm2 ? 1 : 2;
}

bool TMainForm::MissedTarget(int row, TDateTime target, TDateTime now) const
{
    const std::int64_t previous = Msecs(m_watch[row].LastCheck);
    const std::int64_t current = Msecs(now);
    if (current <= previous)
        return false; // the clock stood still or went back: nothing was skipped
    if (UserMode == 1) {
        const std::int64_t due = Msecs(m_watch[row].TimerDue);
        return previous < due && due <= current;
    }
    // The start of the first target second after the previous check.
    const std::int64_t day = previous - (previous % MsecsPerDay + MsecsPerDay) % MsecsPerDay;
    std::int64_t occurrence = day + Msecs(TimeOfDay(target)) % MsecsPerDay;
    if (occurrence <= previous)
        occurrence += MsecsPerDay;
    return occurrence <= current;
}

void TMainForm::CheckAlarm(QTimeEdit *Picker, QCheckBox *Box, TDateTime Target, QLineEdit *RemEdit)
{
    TDateTime target = 0;
    if (!Box->isChecked()) {
        SetTextIfChanged(RemEdit, QString());
        return;
    }
    if (UserMode == 0)
        target = ToDateTime(Picker->time());
    else if (UserMode == 1)
        target = Target;

    const int row = RowOf(Box);
    const TDateTime now = m_platform.Clock.Now();
    const bool due = DecodeTimeOfDay(target) == DecodeTimeOfDay(TimeOfDay(now)) || MissedTarget(row, target, now);
    m_watch[row].LastCheck = now;
    if (due) {
        if (!isVisible())
            show();
        Box->setChecked(false);
        // A new count-down starts at its first second again, whichever row rang.
        LastPreAlarmSec = 0;
        m_platform.Sound.PlaySync(AlarmSound);
    }

    if (target < m_platform.Clock.Time())
        target += 1;
    const TTimeOfDay remaining = DecodeTimeOfDay(target - m_platform.Clock.Time());
    SetTextIfChanged(RemEdit, TimeText(remaining));

    if (PreAlarm && remaining.Hour == 0 && remaining.Minute == 0 && remaining.Second != 0 &&
        remaining.Second <= PreAlarmTimeSec && remaining.Second != LastPreAlarmSec) {
        m_platform.Sound.PlaySync(PreAlarmSound);
        LastPreAlarmSec = remaining.Second;
    }
}

void TMainForm::SetLabelMode()
{
    if (UserMode == 0) {
        ui->LabAlarm1->setText(QStringLiteral("Alarm #1"));
        ui->LabAlarm2->setText(QStringLiteral("Alarm #2"));
        ui->LabAlarm3->setText(QStringLiteral("Alarm #3"));
    } else if (UserMode == 1) {
        ui->LabAlarm1->setText(QStringLiteral("Timer #1"));
        ui->LabAlarm2->setText(QStringLiteral("Timer #2"));
        ui->LabAlarm3->setText(QStringLiteral("Timer #3"));
    }
}

void TMainForm::ArmRow(int row)
{
    SetLabelMode();
    QCheckBox *boxes[] = {ui->CBAlarm1, ui->CBAlarm2, ui->CBAlarm3};
    QTimeEdit *pickers[] = {ui->AlarmPicker1, ui->AlarmPicker2, ui->AlarmPicker3};
    TDateTime *targets[] = {&TimerTarget1, &TimerTarget2, &TimerTarget3};
    if (!boxes[row]->isChecked())
        return;
    const TDateTime now = m_platform.Clock.Now();
    const TDateTime duration = ToDateTime(pickers[row]->time());
    *targets[row] = TimeOfDay(now) + duration;
    m_watch[row] = {now, now + duration};
}

void TMainForm::CBAlarm1Click()
{
    ArmRow(0);
}

void TMainForm::CBAlarm2Click()
{
    ArmRow(1);
}

void TMainForm::CBAlarm3Click()
{
    ArmRow(2);
}
