#pragma once

#include "platform/DateTime.h"

#include <QString>

#include <stdexcept>

// Raised when the host cannot be resolved or a socket call fails.
class TSntpError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One blocking date-time query to a time server.
class ISntpClient
{
public:
    virtual ~ISntpClient() = default;

    QString Host;
    int Port = 123;
    int ReceiveTimeout = 5000; // milliseconds to wait for the answer

    // The server's time as local date-time, to the millisecond; 0 when no usable answer came in time.
    // Throws TSntpError when the host cannot be resolved or a socket call fails.
    virtual TDateTime DateTime() = 0;
};

// SNTP (RFC 4330) over UDP, IPv4 or IPv6.
class SntpClient final : public ISntpClient
{
public:
    TDateTime DateTime() override;
};
