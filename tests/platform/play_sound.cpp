// Plays one file through TSoundPlayer, as the alarm does, and prints how long the call took in milliseconds.
// Usage: play_sound <path>
#include "platform/SoundPlayer.h"

#include <QString>

#include <chrono>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: play_sound <path>\n");
        return 2;
    }
    TSoundPlayer player;
    const auto started = std::chrono::steady_clock::now();
    player.PlaySync(QString::fromLocal8Bit(argv[1]));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    std::printf("%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    return 0;
}
