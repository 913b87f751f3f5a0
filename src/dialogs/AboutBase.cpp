#include "dialogs/AboutBase.h"

#include "dialogs/TickGlyph.h"
#include "platform/VersionInfo.h"
#include "ui_AboutBase.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>

using namespace Qt::StringLiterals;

namespace {

const QString Block = u"\\StringFileInfo\\041004E4\\"_s;

// The base box's own icon, an information sign, so that a box used without an icon of its own still shows one.
QIcon InformationIcon()
{
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 32.0, size / 32.0);
        painter.setPen(QPen(QColor(0, 0, 128), 1.5));
        painter.setBrush(QColor(40, 90, 200));
        painter.drawEllipse(QRectF(1.5, 1.5, 29, 29));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(13.5, 6, 5, 5));
        painter.drawRoundedRect(QRectF(13.5, 13, 5, 13), 1.5, 1.5);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

TAboutFormBase::TAboutFormBase(QWidget *owner) : TAboutFormBase(owner, QCoreApplication::applicationFilePath()) {}

TAboutFormBase::TAboutFormBase(QWidget *owner, const QString &executablePath)
    : QDialog(owner), ui(std::make_unique<Ui::TAboutFormBase>()), m_executablePath(executablePath)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    ui->OkButton->setIcon(TickGlyph());
    SetProgramIcon(InformationIcon());
    for (QLabel *label : {ui->ProductLabel, ui->VersionLabel, ui->CompanyLabel})
        label->adjustSize();
    ui->OkButton->setFocus();
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutFormBase::~TAboutFormBase() = default;

std::optional<QString> TAboutFormBase::VersionLine(const QString &fileVersion)
{
    if (fileVersion.isEmpty())
        return std::nullopt;
    const qsizetype point = fileVersion.lastIndexOf(u'.');
    // Splitting at the first character would drop it and call the rest the build; a text without a later point
    // reads better as a version of its own.
    if (point < 1)
        return u"Version "_s + fileVersion;
    return u"Version "_s + fileVersion.left(point) + u"  Build #00"_s + fileVersion.mid(point + 1);
}

void TAboutFormBase::FormShow()
{
    const std::optional<TVersionInfo> info = ReadVersionInfo(m_executablePath);
    if (!info)
        return;
    const auto fill = [&](QLabel *label, const QString &key) {
        if (const std::optional<QString> value = info->Query(Block + key))
            label->setText(*value);
    };
    fill(ui->ProductLabel, u"ProductName"_s);
    if (const std::optional<QString> line = VersionLine(info->Query(Block + u"FileVersion"_s).value_or(QString())))
        ui->VersionLabel->setText(*line);
    fill(ui->CompanyLabel, u"CompanyName"_s);
    fill(ui->CopyrightLabel, u"LegalCopyright"_s);
    fill(ui->TrademarkLabel, u"LegalTrademarks"_s);
    for (QLabel *label : {ui->ProductLabel, ui->VersionLabel, ui->CompanyLabel})
        label->adjustSize();
}

void TAboutFormBase::SetProgramIcon(const QIcon &icon)
{
    ui->ProgramIcon->setPixmap(icon.pixmap(QSize(32, 32), devicePixelRatioF()));
}

void TAboutFormBase::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - frameGeometry().center() + pos());
        FormShow();
    }
}

void TAboutFormBase::keyPressEvent(QKeyEvent *event)
{
    // OK is also the cancel button: Esc presses it, so the box closes as accepted rather than rejected.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui->OkButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
