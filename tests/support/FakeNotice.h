#pragma once

#include "platform/Notice.h"

#include <QStringList>

#include <vector>

// Records beeps and boxes instead of showing them, and installs itself as the process-wide notice service.
class TFakeNotice final : public IUserNotice
{
public:
    struct TBox
    {
        QString Caption, Text;
        Icon Kind = Icon::None;
        bool operator==(const TBox &) const = default;
    };

    TFakeNotice() { setUserNotice(this); }
    ~TFakeNotice() override { setUserNotice(nullptr); }
    TFakeNotice(const TFakeNotice &) = delete;
    TFakeNotice &operator=(const TFakeNotice &) = delete;

    void Beep() override { ++Beeps; }
    void Message(QWidget *, const QString &caption, const QString &text, Icon icon) override
    {
        Boxes.push_back({caption, text, icon});
    }
    void Error(QWidget *, const QString &text) override { Errors.push_back(text); }

    int Beeps = 0;
    std::vector<TBox> Boxes;
    QStringList Errors;
};
