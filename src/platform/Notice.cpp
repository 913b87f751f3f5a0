#include "platform/Notice.h"

#include <QApplication>
#include <QMessageBox>

void TQtNotice::Beep()
{
    QApplication::beep();
}

void TQtNotice::Message(QWidget *parent, const QString &caption, const QString &text, Icon icon)
{
    static constexpr QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                                  QMessageBox::Warning, QMessageBox::Critical};
    QMessageBox box(icons[static_cast<int>(icon)], caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void TQtNotice::Error(QWidget *parent, const QString &text)
{
    Message(parent, QApplication::applicationDisplayName(), text, Icon::Critical);
}

namespace {
IUserNotice *g_notice = nullptr;
}

IUserNotice &userNotice()
{
    static TQtNotice qt;
    return g_notice ? *g_notice : qt;
}

void setUserNotice(IUserNotice *notice)
{
    g_notice = notice;
}
