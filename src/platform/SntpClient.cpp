#include "platform/SntpClient.h"

#include <QDateTime>
#include <QUrl>

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <system_error>

namespace {

constexpr int PacketSize = 48;
constexpr std::uint64_t UnixEpochInNtpSeconds = 2'208'988'800; // 1900-01-01 to 1970-01-01
constexpr std::int64_t NtpEraSeconds = std::int64_t(1) << 32;

std::uint64_t ReadBigEndian64(QByteArrayView bytes, qsizetype at)
{
    std::uint64_t value = 0;
    for (qsizetype i = 0; i < 8; ++i)
        value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

void WriteBigEndian64(std::array<char, PacketSize> &bytes, std::size_t at, std::uint64_t value)
{
    for (std::size_t i = 0; i < 8; ++i)
        bytes[at + i] = char(value >> (56 - 8 * i));
}

[[noreturn]] void ThrowSystemError(const char *call)
{
    const int error = errno;
    throw TSntpError(std::string(call) + " failed: " + std::generic_category().message(error));
}

// The local clock as an NTP timestamp. The bits below a microsecond are random: a forged reply then has to have
// seen the request to echo it, which plain guessing of the send time cannot do.
std::uint64_t RequestTimestamp()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::uint64_t seconds = (std::uint64_t(now.tv_sec) + UnixEpochInNtpSeconds) & 0xFFFF'FFFFu;
    std::uint64_t fraction = (std::uint64_t(now.tv_nsec) << 32) / 1'000'000'000u;
    static std::random_device random;
    fraction = (fraction & ~std::uint64_t(0xFFF)) | (random() & 0xFFF);
    return seconds << 32 | fraction;
}

class TSocket
{
public:
    explicit TSocket(int fd) : m_fd(fd) {}
    ~TSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TSocket(const TSocket &) = delete;
    TSocket &operator=(const TSocket &) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

struct TAddressList
{
    addrinfo *Head = nullptr;
    ~TAddressList()
    {
        if (Head)
            freeaddrinfo(Head);
    }
};

bool SameEndpoint(const sockaddr_storage &from, socklen_t fromLength, const addrinfo &asked)
{
    if (from.ss_family != asked.ai_family || fromLength < asked.ai_addrlen)
        return false;
    if (asked.ai_family == AF_INET) {
        const auto &a = reinterpret_cast<const sockaddr_in &>(from);
        const auto &b = *reinterpret_cast<const sockaddr_in *>(asked.ai_addr);
        return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
    }
    if (asked.ai_family == AF_INET6) {
        const auto &a = reinterpret_cast<const sockaddr_in6 &>(from);
        const auto &b = *reinterpret_cast<const sockaddr_in6 *>(asked.ai_addr);
        return a.sin6_port == b.sin6_port && std::memcmp(&a.sin6_addr, &b.sin6_addr, sizeof a.sin6_addr) == 0;
    }
    return false;
}

} // namespace

TSntpReply ParseSntpReply(QByteArrayView datagram, std::uint64_t requestTransmit)
{
    // A reply may carry extension fields or a MAC after the 48-byte header; they are not needed.
    if (datagram.size() < PacketSize)
        return {};
    const auto first = std::uint8_t(datagram[0]);
    const int leap = first >> 6;
    const int mode = first & 0x7;
    const int stratum = std::uint8_t(datagram[1]);
    const std::uint64_t originate = ReadBigEndian64(datagram, 24);
    const std::uint64_t transmit = ReadBigEndian64(datagram, 40);
    if (mode != 4 || originate != requestTransmit || transmit == 0)
        return {};
    if (leap == 3 || stratum == 0 || stratum > 15)
        return {TSntpReply::Kind::Unsynchronised, transmit};
    return {TSntpReply::Kind::Time, transmit};
}

TDateTime NtpToLocalDateTime(std::uint64_t timestamp)
{
    const std::uint64_t seconds = timestamp >> 32;
    const std::uint64_t fraction = timestamp & 0xFFFF'FFFFu;
    std::int64_t unixSeconds = std::int64_t(seconds) - std::int64_t(UnixEpochInNtpSeconds);
    if ((seconds & 0x8000'0000u) == 0)
        unixSeconds += NtpEraSeconds;
    // Round to the nearest millisecond: servers truncate their fraction, so .127 often arrives as .12699999.
    const auto msecs = std::int64_t((fraction * 1000 + (std::uint64_t(1) << 31)) >> 32);
    return ToDateTime(QDateTime::fromMSecsSinceEpoch(unixSeconds * 1000 + msecs));
}

TDateTime SntpClient::DateTime()
{
    // Internationalised names go out in their ASCII form; address literals such as "::1" are no domain names and
    // pass unchanged.
    const QString trimmed = Host.trimmed();
    QByteArray host = QUrl::toAce(trimmed);
    if (host.isEmpty())
        host = trimmed.toUtf8();
    if (host.isEmpty())
        throw TSntpError("No time server host given");
    if (Port < 1 || Port > 65535)
        throw TSntpError("Invalid port " + std::to_string(Port));

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    hints.ai_flags = AI_NUMERICSERV;
    TAddressList addresses;
    const int resolved = getaddrinfo(host.constData(), std::to_string(Port).c_str(), &hints, &addresses.Head);
    if (resolved != 0) {
        if (resolved == EAI_SYSTEM)
            ThrowSystemError("getaddrinfo");
        throw TSntpError("Cannot resolve " + host.toStdString() + ": " + gai_strerror(resolved));
    }

    std::array<char, PacketSize> request{};
    request[0] = 0x1B; // leap indicator 0, version 3, client mode
    const std::uint64_t sent = RequestTimestamp();
    WriteBigEndian64(request, 40, sent);

    // The first address that takes the request is the one asked; an address family this host cannot reach (IPv6
    // without a route, say) fails at once and the next address is tried. One request leaves in any case.
    int fd = -1;
    const addrinfo *asked = nullptr;
    const char *failedCall = "socket";
    int failure = 0;
    for (const addrinfo *a = addresses.Head; a && fd < 0; a = a->ai_next) {
        const int candidate = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (candidate < 0) {
            failedCall = "socket";
            failure = errno;
            continue;
        }
        ssize_t n;
        do
            n = ::sendto(candidate, request.data(), request.size(), 0, a->ai_addr, a->ai_addrlen);
        while (n < 0 && errno == EINTR);
        if (n == PacketSize) {
            fd = candidate;
            asked = a;
        } else {
            failedCall = "sendto";
            failure = n < 0 ? errno : EMSGSIZE;
            ::close(candidate);
        }
    }
    if (fd < 0) {
        errno = failure;
        ThrowSystemError(failedCall);
    }
    const TSocket owner(fd);

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ReceiveTimeout, 0));
    std::array<char, 1024> buffer{};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(std::max<std::int64_t>(left, 0)));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError("poll");
        }
        if (ready == 0) {
            if (Clock::now() < deadline)
                continue;
            return 0;
        }
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (got < 0) {
            // An ICMP error left over from an earlier datagram, or a wake-up with nothing to read.
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED)
                continue;
            ThrowSystemError("recvfrom");
        }
        if (!SameEndpoint(from, fromLength, *asked))
            continue;
        const TSntpReply reply = ParseSntpReply(QByteArrayView(buffer.data(), got), sent);
        if (reply.What == TSntpReply::Kind::Time)
            return NtpToLocalDateTime(reply.Transmit);
        if (reply.What == TSntpReply::Kind::Unsynchronised)
            return 0;
    }
}
