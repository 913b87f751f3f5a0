// Asks a time server COUNT times with the program's SNTP client and prints, per query, the call's round trip and
// the answer minus this machine's clock (to the microsecond) at the return, both in milliseconds. Driven by
// sntp_bench.sh. Usage: sntp_probe HOST COUNT

#include "platform/SntpClient.h"

#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sntp_probe HOST COUNT\n");
        return 2;
    }
    SntpClient client;
    client.Host = QString::fromLocal8Bit(argv[1]);
    client.ReceiveTimeout = 1000;
    const int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        TDateTime answer = 0;
        try {
            answer = client.DateTime();
        } catch (const TSntpError &e) {
            std::fprintf(stderr, "sntp_probe: %s\n", e.what());
            return 1;
        }
        const auto end = std::chrono::steady_clock::now();
        // To the microsecond, so that only the answer's own millisecond rounding shows.
        const double nowMs =
            std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
        if (answer == 0) {
            std::fprintf(stderr, "sntp_probe: no usable answer\n");
            return 1;
        }
        std::printf("%.3f %.3f\n", std::chrono::duration<double, std::milli>(end - start).count(),
                    double(ToQDateTime(answer).toMSecsSinceEpoch()) - nowMs);
    }
    return 0;
}
