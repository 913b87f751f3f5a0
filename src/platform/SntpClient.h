#pragma once

#include "platform/DateTime.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
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

// What one datagram from the server's address says about our request.
struct TSntpReply
{
    enum class Kind : std::uint8_t
    {
        NotAnAnswer,    // too short, not in server mode, not echoing our request or without a time: keep waiting
        Unsynchronised, // the server answered but its clock is unusable (leap indicator 3, stratum 0 or above 15)
        Time,           // Transmit holds the server's time
    };
    Kind What = Kind::NotAnAnswer;
    std::uint64_t Transmit = 0; // NTP timestamp: seconds since 1900 in the high 32 bits, fraction in the low 32
};

// Checks a datagram against the transmit timestamp of the request it should answer (RFC 4330, section 5).
TSntpReply ParseSntpReply(QByteArrayView datagram, std::uint64_t requestTransmit);

// An NTP timestamp as local date-time, rounded to the millisecond, with the zone offset in force at that instant.
// Timestamps whose top bit is clear belong to the era that starts in 2036.
TDateTime NtpToLocalDateTime(std::uint64_t timestamp);

// SNTP (RFC 4330) over UDP, IPv4 or IPv6: one request, then the first acceptable reply from the address asked.
class SntpClient final : public ISntpClient
{
public:
    TDateTime DateTime() override;
};
