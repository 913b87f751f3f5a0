#include "dialogs/Options.h"

#include "controls/MyEdit.h"
#include "dialogs/AlarmSettings.h"
#include "dialogs/UpDown.h"
#include "platform/Notice.h"
#include "platform/Platform.h"
#include "platform/Sound.h"
#include "platform/SoundFiles.h"
#include "ui_Options.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

const QString WavFilter = u"wav file (*.wav)"_s;
const QString Mp3Filter = u"mp3 file (*.mp3)"_s;

// Between the up-down's right edge and the pre-alarm group's, as drawn.
constexpr int RightMargin = 16;
// Room on each side of a push button's text.
constexpr int ButtonTextMargin = 6;

constexpr int TimeAlarm = 0;
constexpr int TimerAlarm = 1;

} // namespace

TOptionsForm::TOptionsForm(QWidget *owner, TAlarmSettings &settings, TPlatform &platform)
    : QDialog(owner), ui(std::make_unique<Ui::TOptionsForm>()), m_userMode(new QButtonGroup(this)),
      m_settings(settings), m_platform(platform)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // No default button: with auto-default buttons Qt makes the first one the dialog's default, and Enter in the
    // seconds edit would press "Select...". keyPressEvent gives Enter to the focused button only.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    m_userMode->addButton(ui->RBTimeAlarm, TimeAlarm);
    m_userMode->addButton(ui->RBTimerAlarm, TimerAlarm);
    ui->RBTimeAlarm->setChecked(true);

    ui->SecPreAlarmEdit->SetCharFilter(CharFilterType::chNumber);
    ui->UpDownSecPreAlarm->SetRange(1, 30);
    ui->UpDownSecPreAlarm->SetAssociate(ui->SecPreAlarmEdit);
    ui->UpDownSecPreAlarm->SetPosition(1);
    FitToFont();
    CBPreAlarmClick();

    OpenSoundDialog = [](QWidget *parent, const QString &startName) {
        QFileDialog dialog(parent);
        SetUpSoundFileDialog(dialog, startName);
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        const QStringList files = dialog.selectedFiles();
        return files.isEmpty() ? QString() : files.front();
    };

    connect(ui->SfogliaAlarmButton, &QPushButton::clicked, this, &TOptionsForm::SfogliaAlarmButtonClick);
    connect(ui->TestAlarmButton, &QPushButton::clicked, this, &TOptionsForm::TestAlarmButtonClick);
    connect(ui->SfogliaPreAlarmButton, &QPushButton::clicked, this, &TOptionsForm::SfogliaPreAlarmButtonClick);
    connect(ui->TestPreAlarmButton, &QPushButton::clicked, this, &TOptionsForm::TestPreAlarmButtonClick);
    // toggled, not clicked: the enabled states must also follow a box set by FormShow.
    connect(ui->CBPreAlarm, &QCheckBox::toggled, this, &TOptionsForm::CBPreAlarmClick);
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::FitToFont()
{
    // The layout was drawn for a narrow bitmap font. Positions stay where they fit; in a wider font the pre-alarm
    // row grows to the right, and the groups, the right-hand buttons and the dialog widen by what it needed.
    auto fit = [](QWidget *w) { w->resize(std::max(w->width(), w->sizeHint().width()), w->height()); };
    auto shiftRight = [](QWidget *w, int dx) { w->move(w->x() + dx, w->y()); };
    auto widen = [](QWidget *w, int dx) { w->resize(w->width() + dx, w->height()); };

    for (QWidget *w : std::initializer_list<QWidget *>{ui->CBPreAlarm, ui->Label1, ui->RBTimeAlarm, ui->RBTimerAlarm})
        fit(w);
    // The push buttons sit at the right, in pairs: a button too narrow for its text grows to the left.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        const int need = button->fontMetrics().horizontalAdvance(button->text()) + 2 * ButtonTextMargin;
        if (need > button->width())
            button->setGeometry(button->geometry().adjusted(button->width() - need, 0, 0, 0));
    }
    ui->Label1->move(std::max(ui->Label1->x(), ui->CBPreAlarm->geometry().right() + 6), ui->Label1->y());
    // The up-down follows its edit, at the edit's right edge.
    ui->SecPreAlarmEdit->move(std::max(ui->SecPreAlarmEdit->x(), ui->Label1->geometry().right() + 3),
                              ui->SecPreAlarmEdit->y());
    const int rowRight = ui->SecPreAlarmEdit->geometry().right() + 1 + ui->UpDownSecPreAlarm->width();
    const int extra = std::max(0, rowRight + RightMargin - ui->GRPreAlarm->width());
    if (extra > 0) {
        for (QWidget *w :
             std::initializer_list<QWidget *>{ui->GRSound, ui->GRPreAlarm, ui->AlarmSoundEdit, ui->PreAlarmSoundEdit})
            widen(w, extra);
        for (QWidget *w :
             std::initializer_list<QWidget *>{ui->SfogliaAlarmButton, ui->TestAlarmButton, ui->SfogliaPreAlarmButton,
                                              ui->TestPreAlarmButton, ui->OkButton, ui->CancelButton})
            shiftRight(w, extra);
    }
    setFixedSize(width() + extra, height());
}

void TOptionsForm::SetUpSoundFileDialog(QFileDialog &dialog, const QString &startName)
{
    dialog.setWindowTitle(u"Open alarm file"_s);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters({WavFilter, Mp3Filter});
    dialog.setDefaultSuffix(u"wav"_s);
    dialog.setDirectory(SoundsFolder());
    if (startName.isEmpty()) {
        dialog.selectNameFilter(WavFilter);
        return;
    }
    // Under the wav filter a preselected mp3 file would be hidden from the list.
    dialog.selectNameFilter(startName.endsWith(u".mp3"_s, Qt::CaseInsensitive) ? Mp3Filter : WavFilter);
    dialog.selectFile(startName);
}

void TOptionsForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - frameGeometry().center() + pos());
        FormShow();
    }
}

void TOptionsForm::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()); button && button->isEnabled())
            button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOptionsForm::FormShow()
{
    // Above the last item selects the last one; below the first selects none.
    if (m_settings.UserMode < TimeAlarm) {
        m_userMode->setExclusive(false);
        for (QAbstractButton *item : m_userMode->buttons())
            item->setChecked(false);
        m_userMode->setExclusive(true);
    } else {
        m_userMode->button(std::min(m_settings.UserMode, TimerAlarm))->setChecked(true);
    }
    ui->AlarmSoundEdit->setText(m_settings.AlarmSound);
    ui->CBPreAlarm->setChecked(m_settings.PreAlarm);
    ui->SecPreAlarmEdit->setText(QString::number(m_settings.PreAlarmTimeSec));
    ui->PreAlarmSoundEdit->setText(m_settings.PreAlarmSound);
    CBPreAlarmClick();
}

void TOptionsForm::CBPreAlarmClick()
{
    const bool on = ui->CBPreAlarm->isChecked();
    for (QWidget *control :
         std::initializer_list<QWidget *>{ui->SecPreAlarmEdit, ui->UpDownSecPreAlarm, ui->PreAlarmSoundEdit,
                                          ui->TestPreAlarmButton, ui->SfogliaPreAlarmButton})
        control->setEnabled(on);
}

void TOptionsForm::ChooseSound(QLineEdit &edit)
{
    const QString chosen = OpenSoundDialog ? OpenSoundDialog(this, m_soundFileName) : QString();
    if (chosen.isEmpty())
        return;
    m_soundFileName = chosen;
    edit.setText(chosen);
}

void TOptionsForm::SfogliaAlarmButtonClick()
{
    ChooseSound(*ui->AlarmSoundEdit);
}

void TOptionsForm::SfogliaPreAlarmButtonClick()
{
    ChooseSound(*ui->PreAlarmSoundEdit);
}

void TOptionsForm::TestAlarmButtonClick()
{
    m_platform.Sound.PlaySync(ui->AlarmSoundEdit->text());
}

void TOptionsForm::TestPreAlarmButtonClick()
{
    m_platform.Sound.PlaySync(ui->PreAlarmSoundEdit->text());
}

bool TOptionsForm::FormClose(int modalResult)
{
    if (modalResult != Accepted)
        return true;
    // Convert before writing anything: a refused number must leave every field as it was, so that a Cancel after
    // the error box still means "no change".
    const QString secondsText = ui->SecPreAlarmEdit->text();
    bool converted = false;
    const int seconds = secondsText.toInt(&converted, 10);
    if (!converted) {
        m_platform.Notice.Error(this, u"'"_s + secondsText + u"' is not a valid integer value"_s);
        return false;
    }
    m_settings.UserMode = m_userMode->checkedId();
    if (!ui->AlarmSoundEdit->text().isEmpty())
        m_settings.AlarmSound = ui->AlarmSoundEdit->text();
    if (!ui->PreAlarmSoundEdit->text().isEmpty())
        m_settings.PreAlarmSound = ui->PreAlarmSoundEdit->text();
    m_settings.PreAlarm = ui->CBPreAlarm->isChecked();
    m_settings.PreAlarmTimeSec = seconds;
    return true;
}

void TOptionsForm::done(int result)
{
    if (FormClose(result))
        QDialog::done(result);
}
