#pragma once

#include <QString>

#include <cstdint>

class QWidget;

// What the user is told or hears outside the windows' own controls: message boxes and the simple beep.
class IUserNotice
{
public:
    enum class Icon : std::uint8_t { None, Information, Warning, Critical };

    virtual ~IUserNotice() = default;
    virtual void Beep() = 0;
    // A modal box with one OK button; returns when the user closed it.
    virtual void Message(QWidget *parent, const QString &caption, const QString &text, Icon icon) = 0;
    // The program's standard error box for an error that ended a command ("Unable to write to …").
    virtual void Error(QWidget *parent, const QString &text) = 0;
};

// Message boxes with QMessageBox, the beep with QApplication::beep.
class TQtNotice final : public IUserNotice
{
public:
    void Beep() override;
    void Message(QWidget *parent, const QString &caption, const QString &text, Icon icon) override;
    void Error(QWidget *parent, const QString &text) override;
};

// The notice service for code without a TPlatform (the controls' refusal beep). Qt's unless a test set one.
IUserNotice &userNotice();
void setUserNotice(IUserNotice *notice); // nullptr restores Qt's
// The simple beep of a refused key or an invalid value.
inline void MessageBeep() { userNotice().Beep(); }
