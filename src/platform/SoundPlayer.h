#pragma once

#include "platform/Sound.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// Plays wav, mp3, ogg and flac files through the sound server (PulseAudio or PipeWire), or through ALSA's default
// device when no server answers. Files are decoded in chunks, so a long file never sits in memory whole.
class TSoundPlayer final : public ISound
{
public:
    // The layout of the 16-bit interleaved samples sent to the device.
    struct TPcmFormat
    {
        int Channels = 0;
        int SampleRate = 0;
        bool operator==(const TPcmFormat &) const = default;
    };

    struct TOptions
    {
        QString Server;                                 // "unix:/path", "tcp:host:port"; empty = the user's server
        QString AlsaDevice = QStringLiteral("default"); // used when no server answers; empty = no ALSA fallback
        int ConnectTimeoutMs = 2000;                    // longest wait for the server to take the connection
    };

    // Samples of one decoded chunk; the handler returns false to stop the decoding.
    using TChunkHandler = std::function<bool(const TPcmFormat &format, std::span<const std::int16_t> samples)>;

    static constexpr int MinSampleRate = 1000;
    static constexpr int MaxSampleRate = 384000;
    static constexpr std::size_t ChunkSamples = 16384; // per decoded chunk, all channels together

    TSoundPlayer();
    explicit TSoundPlayer(TOptions options);

    // Returns when the last sample has been played. A file that cannot be opened or decoded plays the default tone
    // instead; with no reachable device it returns at once.
    void PlaySync(const QString &path) override;

    // Decodes a regular file chunk by chunk. False, without calling `handler`, when the file is missing, unreadable,
    // not a sound, empty or in a refused format; a decoding error after the first chunk just ends the sound.
    static bool Decode(const QString &path, const TChunkHandler &handler);

    // The output layout for a file's channels and rate: more than two channels are mixed down to stereo; no
    // channels or a rate outside MinSampleRate..MaxSampleRate gives nullopt.
    static std::optional<TPcmFormat> OutputFormat(int channels, int sampleRate);

    // Appends `frames` interleaved frames of `channels` channels as samples in OutputFormat's layout. Values are
    // clipped to [-1, 1] and NaN is silence; with more than two channels, left is the mean of the even-numbered
    // channels and right the mean of the odd-numbered ones.
    static void AppendPcm16(const float *in, std::size_t frames, int channels, std::vector<std::int16_t> &out);

    // The built-in sound played in place of a file that cannot be played: a 0.3 s tone, faded in and out.
    static TPcmFormat DefaultToneFormat();
    static std::vector<std::int16_t> DefaultTone();

private:
    TOptions m_options;
};
