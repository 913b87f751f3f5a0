#pragma once

#include "platform/SntpClient.h"

#include <QStringList>

// Answers every query with Answer, or throws as an unresolvable host would, and records the hosts asked.
class TFakeSntp final : public ISntpClient
{
public:
    TDateTime DateTime() override
    {
        Asked.push_back(Host);
        if (Fails)
            throw TSntpError("Cannot resolve " + Host.toStdString());
        return Answer;
    }

    TDateTime Answer = 0;
    bool Fails = false;
    QStringList Asked;
};
