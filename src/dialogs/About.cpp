#include "dialogs/About.h"

#include "ui_About.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

TAboutForm::TAboutForm(QWidget *owner) : TAboutForm(owner, QCoreApplication::applicationFilePath()) {}

TAboutForm::TAboutForm(QWidget *owner, const QString &executablePath)
    : TAboutFormBase(owner, executablePath), ui(std::make_unique<Ui::TAboutForm>())
{
    setObjectName(u"TAboutForm"_s);
    ui->setupUi(this);
    // Until main() has given the application an icon, the base box's own stays rather than an empty frame.
    if (const QIcon icon = QApplication::windowIcon(); !icon.isNull())
        SetProgramIcon(icon);
}

TAboutForm::~TAboutForm() = default;
