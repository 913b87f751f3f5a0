// The time server's reply as it comes off the network: the first 8 bytes are the transmit timestamp of our request,
// the rest is the datagram that came back.

#include "platform/SntpClient.h"

#include <QDateTime>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    std::uint64_t sent = 0;
    for (std::size_t i = 0; i < 8; ++i)
        sent = sent << 8 | data[i];
    const std::uint8_t *datagram = data + 8;
    const std::size_t length = size - 8;

    const TSntpReply reply = ParseSntpReply(QByteArrayView(datagram, qsizetype(length)), sent);
    if (reply.What == TSntpReply::Kind::NotAnAnswer)
        return 0;
    // Whatever is believed must be a whole server-mode packet that echoes our request and carries a time.
    if (length < 48 || (datagram[0] & 7) != 4 || std::memcmp(datagram + 24, data, 8) != 0 || reply.Transmit == 0)
        std::abort();
    if (reply.What == TSntpReply::Kind::Time) {
        const TDateTime local = NtpToLocalDateTime(reply.Transmit);
        const QDateTime value = ToQDateTime(local);
        // Two 2^32-second eras from 1968 on, give or take a day of zone offset.
        if (!std::isfinite(local) || !value.isValid() || value.date().year() < 1967 || value.date().year() > 2105)
            std::abort();
    }
    return 0;
}
