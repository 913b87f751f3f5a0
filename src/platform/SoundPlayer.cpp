#include "platform/SoundPlayer.h"

#include <QFile>
#include <QFileInfo>

#include <alsa/asoundlib.h>
#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
using TPcmFormat = TSoundPlayer::TPcmFormat;

constexpr int ToneRate = 44100;
constexpr double ToneSeconds = 0.3;
constexpr double ToneHz = 880.0;
constexpr double ToneAmplitude = 0.5;
constexpr double ToneFadeSeconds = 0.01; // a hard start or stop would click

// A modest buffer: the stall watchdog below counts on the server holding little more than this ahead of the ear.
constexpr std::chrono::microseconds TargetLatency{100'000};
constexpr unsigned AlsaLatencyUs = 200'000;
// A server or device that stops taking samples for this long past real time is given up on, so a stuck sound
// system cannot freeze the program.
constexpr std::chrono::seconds StallSlack{5};

struct TSndFileCloser
{
    void operator()(SNDFILE *file) const { sf_close(file); }
};

float Clean(float value)
{
    return std::isnan(value) ? 0.0f : std::clamp(value, -1.0f, 1.0f);
}

std::int16_t ToSample(double value)
{
    return static_cast<std::int16_t>(std::lrint(value * 32767.0));
}

Clock::time_point Deadline(Clock::time_point started, double playedSeconds)
{
    return started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(playedSeconds)) +
           StallSlack;
}

// Playback through the sound server's native protocol, driven by a private main loop on the calling thread so
// that every wait has a deadline.
class TPulseOutput
{
public:
    TPulseOutput() = default;
    TPulseOutput(const TPulseOutput &) = delete;
    TPulseOutput &operator=(const TPulseOutput &) = delete;

    ~TPulseOutput()
    {
        if (m_stream) {
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
        }
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop)
            pa_mainloop_free(m_loop);
    }

    bool Open(const TPcmFormat &format, const TSoundPlayer::TOptions &options, const QString &mediaName)
    {
        m_loop = pa_mainloop_new();
        if (!m_loop)
            return false;
        pa_proplist *props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Tocsinet");
        m_context = pa_context_new_with_proplist(pa_mainloop_get_api(m_loop), "Tocsinet", props);
        pa_proplist_free(props);
        if (!m_context)
            return false;
        // No autospawn: starting a server of our own from inside an alarm would stall it, and as a fallback ALSA
        // is the better bet.
        const QByteArray server = options.Server.toUtf8();
        if (pa_context_connect(m_context, server.isEmpty() ? nullptr : server.constData(), PA_CONTEXT_NOAUTOSPAWN,
                               nullptr) < 0)
            return false;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.ConnectTimeoutMs);
        if (!RunUntil([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; }, deadline))
            return false;

        m_spec = {PA_SAMPLE_S16NE, static_cast<std::uint32_t>(format.SampleRate),
                  static_cast<std::uint8_t>(format.Channels)};
        m_stream = pa_stream_new(m_context, mediaName.toUtf8().constData(), &m_spec, nullptr);
        if (!m_stream)
            return false;
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(TargetLatency.count(), &m_spec));
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
            return false;
        if (!RunUntil([this] { return pa_stream_get_state(m_stream) == PA_STREAM_READY; }, deadline))
            return false;
        m_started = Clock::now();
        return true;
    }

    bool Write(std::span<const std::int16_t> samples)
    {
        const std::size_t frameBytes = pa_frame_size(&m_spec);
        const auto *data = reinterpret_cast<const std::uint8_t *>(samples.data());
        std::size_t left = samples.size_bytes();
        while (left > 0) {
            std::size_t writable = 0;
            const auto hasRoom = [&] {
                writable = pa_stream_writable_size(m_stream);
                return writable != static_cast<std::size_t>(-1) && writable >= frameBytes;
            };
            if (!RunUntil(hasRoom, Watchdog()))
                return false;
            const std::size_t count = std::min(left, writable - writable % frameBytes);
            if (pa_stream_write(m_stream, data, count, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return false;
            data += count;
            left -= count;
            m_written += count;
        }
        return true;
    }

    void Drain()
    {
        pa_operation *drain = pa_stream_drain(m_stream, nullptr, nullptr);
        if (!drain)
            return;
        // The server acknowledges the drain once the device's own latency has passed after the last sample.
        if (!RunUntil([drain] { return pa_operation_get_state(drain) != PA_OPERATION_RUNNING; }, Watchdog()))
            pa_operation_cancel(drain);
        pa_operation_unref(drain);
    }

private:
    bool Failed() const
    {
        if (m_context && !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
            return true;
        return m_stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
    }

    template <typename TDone> bool RunUntil(TDone done, Clock::time_point deadline)
    {
        for (;;) {
            if (Failed())
                return false;
            if (done())
                return true;
            const Clock::time_point now = Clock::now();
            if (now >= deadline)
                return false;
            const auto wait = std::min<long long>(
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count() + 1, 1'000'000);
            if (pa_mainloop_prepare(m_loop, static_cast<int>(wait)) < 0 || pa_mainloop_poll(m_loop) < 0 ||
                pa_mainloop_dispatch(m_loop) < 0)
                return false;
        }
    }

    Clock::time_point Watchdog() const
    {
        return Deadline(m_started, static_cast<double>(m_written) / static_cast<double>(pa_bytes_per_second(&m_spec)));
    }

    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    pa_sample_spec m_spec{};
    std::uint64_t m_written = 0; // bytes
    Clock::time_point m_started;
};

void IgnoreAlsaError(const char *, int, const char *, int, const char *, ...) {}

// Playback straight to an ALSA device, non-blocking so that a device that stops taking samples cannot hang us.
class TAlsaOutput
{
public:
    TAlsaOutput() = default;
    TAlsaOutput(const TAlsaOutput &) = delete;
    TAlsaOutput &operator=(const TAlsaOutput &) = delete;

    ~TAlsaOutput()
    {
        if (m_pcm)
            snd_pcm_close(m_pcm);
    }

    bool Open(const TPcmFormat &format, const QString &device)
    {
        // A missing card is the normal case here and not worth a line on standard error.
        snd_lib_error_set_handler(&IgnoreAlsaError);
        if (snd_pcm_open(&m_pcm, device.toUtf8().constData(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
            m_pcm = nullptr;
            return false;
        }
        if (snd_pcm_set_params(m_pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(format.Channels), static_cast<unsigned>(format.SampleRate), 1,
                               AlsaLatencyUs) < 0)
            return false;
        m_channels = static_cast<std::size_t>(format.Channels);
        m_rate = format.SampleRate;
        m_started = Clock::now();
        return true;
    }

    bool Write(std::span<const std::int16_t> samples)
    {
        const std::int16_t *data = samples.data();
        auto left = static_cast<snd_pcm_uframes_t>(samples.size() / m_channels);
        while (left > 0) {
            if (Clock::now() > Watchdog())
                return false;
            const snd_pcm_sframes_t written = snd_pcm_writei(m_pcm, data, left);
            if (written == -EAGAIN) {
                snd_pcm_wait(m_pcm, 100);
            } else if (written < 0) {
                if (snd_pcm_recover(m_pcm, static_cast<int>(written), 1) < 0)
                    return false;
            } else {
                data += static_cast<std::size_t>(written) * m_channels;
                left -= static_cast<snd_pcm_uframes_t>(written);
                m_writtenFrames += static_cast<std::uint64_t>(written);
            }
        }
        return true;
    }

    void Drain()
    {
        // Non-blocking, the drain may only start here; the device then plays out on its own.
        int result = snd_pcm_drain(m_pcm);
        while ((result == -EAGAIN || snd_pcm_state(m_pcm) == SND_PCM_STATE_DRAINING) && Clock::now() < Watchdog()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            result = 0;
        }
    }

private:
    Clock::time_point Watchdog() const { return Deadline(m_started, static_cast<double>(m_writtenFrames) / m_rate); }

    snd_pcm_t *m_pcm = nullptr;
    std::size_t m_channels = 1;
    double m_rate = 1;
    std::uint64_t m_writtenFrames = 0;
    Clock::time_point m_started;
};

// The device of one PlaySync: opened by the first chunk, in that chunk's format. A failure at any step silences
// the rest of the sound.
class TOutput
{
public:
    TOutput(const TSoundPlayer::TOptions &options, QString mediaName)
        : m_options(options), m_mediaName(std::move(mediaName))
    {
    }

    bool Write(const TPcmFormat &format, std::span<const std::int16_t> samples)
    {
        if (m_failed)
            return false;
        if (!m_pulse && !m_alsa && !Open(format)) {
            m_failed = true;
            return false;
        }
        if (!(m_pulse ? m_pulse->Write(samples) : m_alsa->Write(samples)))
            m_failed = true;
        return !m_failed;
    }

    void Finish()
    {
        if (m_failed)
            return;
        if (m_pulse)
            m_pulse->Drain();
        else if (m_alsa)
            m_alsa->Drain();
    }

private:
    bool Open(const TPcmFormat &format)
    {
        auto pulse = std::make_unique<TPulseOutput>();
        if (pulse->Open(format, m_options, m_mediaName)) {
            m_pulse = std::move(pulse);
            return true;
        }
        pulse.reset();
        if (m_options.AlsaDevice.isEmpty())
            return false;
        auto alsa = std::make_unique<TAlsaOutput>();
        if (!alsa->Open(format, m_options.AlsaDevice))
            return false;
        m_alsa = std::move(alsa);
        return true;
    }

    const TSoundPlayer::TOptions &m_options;
    QString m_mediaName;
    std::unique_ptr<TPulseOutput> m_pulse;
    std::unique_ptr<TAlsaOutput> m_alsa;
    bool m_failed = false;
};
} // namespace

TSoundPlayer::TSoundPlayer() : TSoundPlayer(TOptions{}) {}

TSoundPlayer::TSoundPlayer(TOptions options) : m_options(std::move(options)) {}

void TSoundPlayer::PlaySync(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    TOutput output(m_options, name.isEmpty() ? QStringLiteral("Tocsinet") : name);
    const auto play = [&output](const TPcmFormat &format, std::span<const std::int16_t> samples) {
        return output.Write(format, samples);
    };
    if (!Decode(path, play))
        play(DefaultToneFormat(), DefaultTone());
    output.Finish();
}

bool TSoundPlayer::Decode(const QString &path, const TChunkHandler &handler)
{
    // Only regular files: opening a FIFO or a terminal would block until someone writes to it.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, TSndFileCloser> file(sf_open(QFile::encodeName(path).constData(), SFM_READ, &info));
    if (!file || info.frames <= 0)
        return false;
    const std::optional<TPcmFormat> format = OutputFormat(info.channels, info.samplerate);
    if (!format)
        return false;

    const auto channels = static_cast<std::size_t>(info.channels);
    const std::size_t chunkFrames = std::max<std::size_t>(1, ChunkSamples / channels);
    std::vector<float> decoded(chunkFrames * channels);
    std::vector<std::int16_t> samples;
    samples.reserve(chunkFrames * static_cast<std::size_t>(format->Channels));
    bool delivered = false;
    for (;;) {
        const sf_count_t frames = sf_readf_float(file.get(), decoded.data(), static_cast<sf_count_t>(chunkFrames));
        if (frames <= 0)
            break;
        samples.clear();
        AppendPcm16(decoded.data(), static_cast<std::size_t>(frames), info.channels, samples);
        delivered = true;
        if (!handler(*format, samples))
            break;
    }
    return delivered;
}

std::optional<TSoundPlayer::TPcmFormat> TSoundPlayer::OutputFormat(int channels, int sampleRate)
{
    if (channels < 1 || sampleRate < MinSampleRate || sampleRate > MaxSampleRate)
        return std::nullopt;
    return TPcmFormat{std::min(channels, 2), sampleRate};
}

void TSoundPlayer::AppendPcm16(const float *in, std::size_t frames, int channels, std::vector<std::int16_t> &out)
{
    if (channels < 1)
        return;
    const auto count = static_cast<std::size_t>(channels);
    if (count <= 2) {
        for (std::size_t i = 0; i < frames * count; ++i)
            out.push_back(ToSample(Clean(in[i])));
        return;
    }
    const double evens = static_cast<double>((count + 1) / 2);
    const double odds = static_cast<double>(count / 2);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const float *values = in + frame * count;
        double left = 0;
        double right = 0;
        for (std::size_t c = 0; c < count; c += 2)
            left += Clean(values[c]);
        for (std::size_t c = 1; c < count; c += 2)
            right += Clean(values[c]);
        out.push_back(ToSample(left / evens));
        out.push_back(ToSample(right / odds));
    }
}

TSoundPlayer::TPcmFormat TSoundPlayer::DefaultToneFormat()
{
    return {1, ToneRate};
}

std::vector<std::int16_t> TSoundPlayer::DefaultTone()
{
    const auto frames = static_cast<std::size_t>(ToneRate * ToneSeconds);
    const double fadeFrames = ToneRate * ToneFadeSeconds;
    std::vector<std::int16_t> tone(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double edge = static_cast<double>(std::min(i, frames - 1 - i));
        const double envelope = edge < fadeFrames ? 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fadeFrames) : 1.0;
        const double phase = 2.0 * std::numbers::pi * ToneHz * static_cast<double>(i) / ToneRate;
        tone[i] = ToSample(ToneAmplitude * envelope * std::sin(phase));
    }
    return tone;
}
