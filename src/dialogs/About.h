#pragma once

#include "dialogs/AboutBase.h"

#include <memory>

namespace Ui {
class TAboutForm;
}

// The program's About box: the base box under its own caption, with the application's icon.
class TAboutForm : public TAboutFormBase
{
    Q_OBJECT
public:
    // Reads the running program's own file.
    explicit TAboutForm(QWidget *owner);
    // Reads the executable file at executablePath.
    TAboutForm(QWidget *owner, const QString &executablePath);
    ~TAboutForm() override;

private:
    std::unique_ptr<Ui::TAboutForm> ui;
};
