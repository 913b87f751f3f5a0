#pragma once

#include "platform/Sound.h"
#include "support/FakeClock.h"

#include <QHash>
#include <QStringList>

// Records every sound played and moves the fake clock on by the sound's length, as a real synchronous call would.
class TRecordingSound final : public ISound
{
public:
    explicit TRecordingSound(TFakeClock *clock = nullptr) : m_clock(clock) {}

    void PlaySync(const QString &path) override
    {
        Played.push_back(path);
        if (m_clock)
            m_clock->AdvanceMs(LengthMs.value(path, DefaultLengthMs));
    }

    QStringList Played;
    QHash<QString, double> LengthMs; // per path; others last DefaultLengthMs
    double DefaultLengthMs = 0;

private:
    TFakeClock *m_clock;
};
