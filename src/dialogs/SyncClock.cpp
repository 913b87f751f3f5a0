#include "dialogs/SyncClock.h"

#include "dialogs/AlarmSettings.h"
#include "platform/Clock.h"
#include "platform/ClockSetter.h"
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"
#include "platform/Notice.h"
#include "platform/Platform.h"
#include "platform/SntpClient.h"
#include "ui_SyncClock.h"

#include <QDateTime>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The millisecond is shown rounded down to the hundredth the clock was set to.
QString ReportText(const QDateTime &value)
{
    const FormatSettings &formats = formatSettings();
    const QDate date = value.date();
    const QTime time = value.time();
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0')); };
    return two(date.day()) + formats.DateSeparator + two(date.month()) + formats.DateSeparator +
           QStringLiteral("%1").arg(date.year(), 4, 10, QChar(u'0')) + u" - "_s + two(time.hour()) +
           formats.TimeSeparator + two(time.minute()) + formats.TimeSeparator + two(time.second()) +
           formats.TimeSeparator + QStringLiteral("%1").arg(time.msec() / 10 * 10, 3, 10, QChar(u'0'));
}

} // namespace

TSyncClockForm::TSyncClockForm(QWidget *owner, TAlarmSettings &settings, TPlatform &platform)
    : QDialog(owner), ui(std::make_unique<Ui::TSyncClockForm>()), m_settings(settings), m_platform(platform)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    // The layout was drawn for a narrow 8-point font; with a wider one the label ends just before the host box
    // instead of being cut off by it.
    ui->Label1->adjustSize();
    const int labelRoom = ui->HostEdit->x() - 4 - ui->Label1->width();
    if (labelRoom < ui->Label1->x())
        ui->Label1->move(std::max(labelRoom, 4), ui->Label1->y());
    ui->OkButton->setFocus();
    connect(ui->OkButton, &QPushButton::clicked, this, &TSyncClockForm::OkButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TSyncClockForm::~TSyncClockForm() = default;

void TSyncClockForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - frameGeometry().center() + pos());
        FormShow();
    }
}

void TSyncClockForm::FormShow()
{
    ui->HostEdit->setText(m_settings.HostTimeServer);
}

void TSyncClockForm::ShowError(const QString &text)
{
    m_platform.Notice.Message(this, QStringLiteral("Error"), text, IUserNotice::Icon::Critical);
}

void TSyncClockForm::OkButtonClick()
{
    TDateTime serverTime = 0;
    const QString host = ui->HostEdit->text();
    if (!host.isEmpty()) {
        m_settings.HostTimeServer = host;
        ISntpClient &sntp = m_platform.Sntp;
        sntp.Host = host;
        try {
            serverTime = sntp.DateTime();
        } catch (...) {
            ShowError(u"Time out in reading NTP server "_s + host + u'\r' + u"Invalid host or port "_s +
                      QString::number(sntp.Port) + u" unavailable."_s);
            return;
        }
    }
    const TDateTime oldClock = m_platform.Clock.Now();

    const QDateTime server = ToQDateTime(serverTime);
    const int year = server.date().year();
    if (year <= 1950) {
        ShowError(QString::number(year) + u" is not a valid year."_s);
        return;
    }

    // Hundredths of a second, as the clock is set: the report shows the same value.
    const QTime time = server.time();
    const QTime setTime(time.hour(), time.minute(), time.second(), time.msec() / 10 * 10);
    const IClockSetter::TResult timeSet = m_platform.ClockSetter.SetTimeOfDay(setTime);
    if (!timeSet.Ok) {
        ShowError(u"The clock was not changed.\r"_s + timeSet.Error);
        return;
    }
    const IClockSetter::TResult dateSet = m_platform.ClockSetter.SetDate(server.date());
    if (!dateSet.Ok) {
        ShowError(u"The time of day was set, but the date was not changed.\r"_s + dateSet.Error);
        return;
    }

    m_platform.Notice.Message(this, QStringLiteral("Internal clock"),
                              u"Old   clock date/time: "_s + ReportText(ToQDateTime(oldClock)) + u'\r' +
                                  u"New clock date/time: "_s + ReportText(QDateTime(server.date(), setTime)),
                              IUserNotice::Icon::Information);
    reject();
}
