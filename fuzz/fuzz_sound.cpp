// Feeds arbitrary bytes to the sound decoder as a file and checks what it hands on: whole frames of at most two
// channels, in chunks no larger than promised.
#include "platform/SoundPlayer.h"

#include <QByteArray>
#include <QFile>

#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace {
struct TScratchFile
{
    QString Path = QStringLiteral("/tmp/fuzz_sound_%1.bin").arg(::getpid());
    ~TScratchFile() { QFile::remove(Path); }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const TScratchFile scratch;
    const QString &path = scratch.Path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    file.close();

    int chunks = 0;
    TSoundPlayer::Decode(
        path, [&chunks](const TSoundPlayer::TPcmFormat &format, std::span<const std::int16_t> samples) {
            if (format.Channels < 1 || format.Channels > 2 || format.SampleRate < TSoundPlayer::MinSampleRate ||
                format.SampleRate > TSoundPlayer::MaxSampleRate || samples.empty() ||
                samples.size() > TSoundPlayer::ChunkSamples || samples.size() % format.Channels != 0)
                __builtin_trap();
            return ++chunks < 64; // a few bytes of a compressed format can stand for minutes of sound
        });
    return 0;
}
