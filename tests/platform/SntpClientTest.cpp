#include "support/TestSupport.h"

#include "platform/SntpClient.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QUdpSocket>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <future>
#include <optional>
#include <thread>

namespace {

constexpr std::uint64_t UnixEpochInNtpSeconds = 2'208'988'800;

// A UTC instant as a server writes it: the fraction truncated, the seconds counted modulo 2^32 from 1900.
std::uint64_t NtpTimestamp(const QDateTime &utc)
{
    const qint64 ms = utc.toMSecsSinceEpoch();
    const std::uint64_t seconds = (std::uint64_t(ms / 1000) + UnixEpochInNtpSeconds) & 0xFFFF'FFFFu;
    return seconds << 32 | (std::uint64_t(ms % 1000) << 32) / 1000;
}

std::uint64_t Read64(const QByteArray &bytes, int at)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

void Write64(QByteArray &bytes, int at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = char(value >> (56 - 8 * i));
}

struct TReplyFields
{
    int Leap = 0;
    int Mode = 4;
    int Stratum = 2;
    bool EchoOriginate = true;
    int Size = 48;
};

QByteArray Reply(const QByteArray &request, const QDateTime &serverUtc, TReplyFields f = {})
{
    QByteArray reply(std::max(f.Size, 48), '\0');
    reply[0] = char(f.Leap << 6 | 3 << 3 | f.Mode);
    reply[1] = char(f.Stratum);
    if (f.EchoOriginate)
        reply.replace(24, 8, request.mid(40, 8));
    if (serverUtc.isValid()) {
        Write64(reply, 32, NtpTimestamp(serverUtc));
        Write64(reply, 40, NtpTimestamp(serverUtc));
    }
    reply.truncate(f.Size);
    return reply;
}

struct TSend
{
    QByteArray Bytes;
    bool FromOtherPort = false;
};
using TAnswer = std::function<std::vector<TSend>(const QByteArray &request)>;

// A time server on a loopback address that answers the first request as the test says, from its own thread.
class TSntpServerStub
{
public:
    TSntpServerStub(const QHostAddress &address, TAnswer answer)
    {
        std::promise<quint16> bound;
        std::future<quint16> port = bound.get_future();
        m_thread = std::thread([this, address, answer = std::move(answer), &bound] {
            QUdpSocket socket, other;
            const bool ok = socket.bind(address, 0) && other.bind(address, 0);
            bound.set_value(ok ? socket.localPort() : 0);
            if (!ok || !socket.waitForReadyRead(5000))
                return;
            m_request.resize(int(socket.pendingDatagramSize()));
            QHostAddress client;
            quint16 clientPort = 0;
            socket.readDatagram(m_request.data(), m_request.size(), &client, &clientPort);
            for (const TSend &send : answer(m_request)) {
                (send.FromOtherPort ? other : socket).writeDatagram(send.Bytes, client, clientPort);
                (send.FromOtherPort ? other : socket).waitForBytesWritten(1000);
            }
            // Anything more from the client would be a second request.
            if (socket.waitForReadyRead(100))
                m_extraRequests = true;
        });
        m_port = port.get();
    }
    ~TSntpServerStub() { Join(); }
    TSntpServerStub(const TSntpServerStub &) = delete;
    TSntpServerStub &operator=(const TSntpServerStub &) = delete;

    quint16 Port() const { return m_port; }
    // The request received; read after Join().
    const QByteArray &Request() const { return m_request; }
    bool ExtraRequests() const { return m_extraRequests; }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
    quint16 m_port = 0;
    QByteArray m_request;
    bool m_extraRequests = false;
};

// Central European time with its summer rule, so that local times are the same on every machine.
class SntpClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const char *tz = std::getenv("TZ"))
            m_oldTz = tz;
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }
    void TearDown() override
    {
        if (m_oldTz)
            qputenv("TZ", m_oldTz->c_str());
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_oldTz;
};

QDateTime Utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

QDateTime Local(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

const QDateTime ServerTime = Utc(2008, 3, 5, 13, 5, 9, 127);

struct TReplyCase
{
    const char *name;
    TAnswer answer;
    QDateTime expected; // invalid: the client returns 0
    bool waitsFullTimeout = false;
    friend void PrintTo(const TReplyCase &c, std::ostream *os) { *os << c.name; }
};

TAnswer One(TReplyFields f, QDateTime utc = ServerTime)
{
    return [f, utc](const QByteArray &request) { return std::vector<TSend>{{Reply(request, utc, f)}}; };
}

// A datagram the client must ignore, then the genuine answer.
TAnswer ThenGenuine(TReplyFields bad, bool badFromOtherPort = false)
{
    return [bad, badFromOtherPort](const QByteArray &request) {
        return std::vector<TSend>{{Reply(request, Utc(1999, 1, 1, 0, 0, 0), bad), badFromOtherPort},
                                  {Reply(request, ServerTime)}};
    };
}

TAnswer FromAnotherPort()
{
    return [](const QByteArray &request) { return std::vector<TSend>{{Reply(request, ServerTime), true}}; };
}

class SntpClientReply : public SntpClientTest, public testing::WithParamInterface<TReplyCase>
{
};

TEST_P(SntpClientReply, ReturnsLocalServerTimeOnlyForAcceptableAnswer)
{
    const TReplyCase &c = GetParam();
    TSntpServerStub server(QHostAddress::LocalHost, c.answer);
    SntpClient client;
    client.Host = u"127.0.0.1"_s;
    client.Port = server.Port();
    client.ReceiveTimeout = 600;

    QElapsedTimer elapsed;
    elapsed.start();
    const TDateTime answer = client.DateTime();
    const qint64 ms = elapsed.elapsed();
    server.Join();

    if (c.expected.isValid()) {
        EXPECT_EQ(ToQDateTime(answer), c.expected);
        EXPECT_LT(ms, 400);
    } else {
        EXPECT_EQ(answer, 0.0);
        if (c.waitsFullTimeout)
            EXPECT_GE(ms, 550);
        else
            EXPECT_LT(ms, 400) << "an authentic but unsynchronised answer needs no more waiting";
    }
    EXPECT_FALSE(server.ExtraRequests());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SntpClientReply,
    testing::Values(
        TReplyCase{"good", One({}), Local(2008, 3, 5, 14, 5, 9, 127)},
        TReplyCase{"summer_offset_of_that_instant", One({}, Utc(2008, 7, 1, 12, 0, 0)), Local(2008, 7, 1, 14, 0, 0)},
        TReplyCase{"era_from_2036", One({}, Utc(2040, 2, 1, 10, 0, 0, 5)), Local(2040, 2, 1, 11, 0, 0, 5)},
        TReplyCase{"stratum_15", One({.Stratum = 15}), Local(2008, 3, 5, 14, 5, 9, 127)},
        TReplyCase{"trailing_mac", One({.Size = 68}), Local(2008, 3, 5, 14, 5, 9, 127)},
        TReplyCase{"leap_3_unsynchronised", One({.Leap = 3}), {}},
        TReplyCase{"stratum_0_kiss_of_death", One({.Stratum = 0}), {}},
        TReplyCase{"stratum_16", One({.Stratum = 16}), {}}, // one above the largest valid stratum
        TReplyCase{"short_47_bytes", One({.Size = 47}), {}, true},
        TReplyCase{"not_echoing_request", One({.EchoOriginate = false}), {}, true},
        TReplyCase{"client_mode", One({.Mode = 3}), {}, true},
        TReplyCase{"zero_transmit_time", One({}, QDateTime()), {}, true},
        TReplyCase{"from_another_port", FromAnotherPort(), {}, true},
        TReplyCase{"short_then_genuine", ThenGenuine({.Size = 47}), Local(2008, 3, 5, 14, 5, 9, 127)},
        TReplyCase{"not_echoing_then_genuine", ThenGenuine({.EchoOriginate = false}), Local(2008, 3, 5, 14, 5, 9, 127)},
        TReplyCase{"other_port_then_genuine", ThenGenuine({}, true), Local(2008, 3, 5, 14, 5, 9, 127)}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(SntpClientTest, SendsOneClientRequestStampedWithTheLocalClock)
{
    TSntpServerStub server(QHostAddress::LocalHost, One({}));
    SntpClient client;
    client.Host = u"127.0.0.1"_s;
    client.Port = server.Port();
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    client.DateTime();
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    server.Join();

    const QByteArray &request = server.Request();
    ASSERT_EQ(request.size(), 48);
    EXPECT_EQ(std::uint8_t(request[0]), 0x1B);
    const std::uint64_t transmit = Read64(request, 40);
    const qint64 sentMs =
        qint64((transmit >> 32) - UnixEpochInNtpSeconds) * 1000 + qint64(((transmit & 0xFFFF'FFFFu) * 1000) >> 32);
    EXPECT_GE(sentMs, before - 1);
    EXPECT_LE(sentMs, after + 1);
    EXPECT_FALSE(server.ExtraRequests());
}

TEST_F(SntpClientTest, ReturnsZeroWhenNothingAnswersInTime)
{
    TSntpServerStub server(QHostAddress::LocalHost, [](const QByteArray &) { return std::vector<TSend>{}; });
    SntpClient client;
    client.Host = u"127.0.0.1"_s;
    client.Port = server.Port();
    client.ReceiveTimeout = 500;

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(client.DateTime(), 0.0);
    EXPECT_GE(elapsed.elapsed(), 480);
    EXPECT_LT(elapsed.elapsed(), 2000);
}

TEST_F(SntpClientTest, AsksOverIpv6Loopback)
{
    if (QUdpSocket probe; !probe.bind(QHostAddress::LocalHostIPv6, 0))
        GTEST_SKIP() << "no IPv6 loopback here";
    TSntpServerStub server(QHostAddress::LocalHostIPv6, One({}));
    SntpClient client;
    client.Host = u"::1"_s;
    client.Port = server.Port();
    EXPECT_EQ(ToQDateTime(client.DateTime()), Local(2008, 3, 5, 14, 5, 9, 127));
}

TEST_F(SntpClientTest, ThrowsWhenTheHostCannotBeResolved)
{
    SntpClient client;
    for (const QString &host : {u"nohost.invalid"_s, u""_s, u"bad host name"_s}) {
        client.Host = host;
        EXPECT_THROW(client.DateTime(), TSntpError) << host.toStdString();
    }
}

} // namespace
