#pragma once

#include <QString>

// Plays sound files synchronously on the calling thread.
class ISound
{
public:
    virtual ~ISound() = default;
    // Returns when the sound has ended. A file that cannot be opened or decoded plays the default sound instead;
    // with no audio device at all the call returns at once. Nothing is reported.
    virtual void PlaySync(const QString &path) = 0;
};
