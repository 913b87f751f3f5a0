#pragma once

#include "platform/ClockSetter.h"

#include <QStringList>

// Records each setting as "time HH:mm:ss.zzz" or "date yyyy-MM-dd", in call order, and refuses on request.
class TFakeClockSetter final : public IClockSetter
{
public:
    TResult SetTimeOfDay(const QTime &time) override
    {
        Calls.push_back(QStringLiteral("time ") + time.toString(QStringLiteral("HH:mm:ss.zzz")));
        return TimeRefusal.isEmpty() ? TResult{true, {}} : TResult{false, TimeRefusal};
    }
    TResult SetDate(const QDate &date) override
    {
        Calls.push_back(QStringLiteral("date ") + date.toString(Qt::ISODate));
        return DateRefusal.isEmpty() ? TResult{true, {}} : TResult{false, DateRefusal};
    }

    QStringList Calls;
    QString TimeRefusal; // non-empty: SetTimeOfDay fails with this reason
    QString DateRefusal;
};
