#include "support/TestSupport.h"

#include "platform/SoundPlayer.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <sndfile.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numbers>

namespace {
using TPcmFormat = TSoundPlayer::TPcmFormat;

// Writes `frames` frames whose sample for (frame, channel) is value(frame, channel); false if libsndfile refuses.
bool WriteSound(const QString &path, int format, int channels, int rate, sf_count_t frames,
                const std::function<float(sf_count_t, int)> &value)
{
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> data(static_cast<std::size_t>(frames * channels));
    for (sf_count_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            data[static_cast<std::size_t>(f * channels + c)] = value(f, c);
    const bool ok = sf_writef_float(file, data.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

float Sine(sf_count_t frame, int)
{
    return static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(frame) / 44100.0));
}

struct TDecoded
{
    bool Ok = false;
    TPcmFormat Format;
    std::vector<std::int16_t> Samples;
    int Chunks = 0;
    std::size_t LargestChunk = 0;

    std::size_t Frames() const { return Format.Channels ? Samples.size() / Format.Channels : 0; }
    int Peak() const
    {
        int peak = 0;
        for (std::int16_t s : Samples)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        return peak;
    }
};

TDecoded DecodeAll(const QString &path, int stopAfterChunks = std::numeric_limits<int>::max())
{
    TDecoded d;
    d.Ok = TSoundPlayer::Decode(path, [&](const TPcmFormat &format, std::span<const std::int16_t> samples) {
        d.Format = format;
        d.Samples.insert(d.Samples.end(), samples.begin(), samples.end());
        d.LargestChunk = std::max(d.LargestChunk, samples.size());
        return ++d.Chunks < stopAfterChunks;
    });
    return d;
}

std::vector<std::int16_t> ReadRaw(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / sizeof(std::int16_t));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(std::int16_t));
    return samples;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

struct TFormatCase
{
    const char *name;
    int format;
    int extraFrames; // a lossy coder may add up to this many frames of padding
    friend void PrintTo(const TFormatCase &c, std::ostream *os) { *os << c.name; }
};

class SoundPlayerFormats : public testing::TestWithParam<TFormatCase>
{
};

TEST_P(SoundPlayerFormats, DecodesWholeSoundAtItsLevel)
{
    const TFormatCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sound"_s);
    ASSERT_TRUE(WriteSound(path, c.format, 1, 44100, 22050, Sine));

    const TDecoded d = DecodeAll(path);
    ASSERT_TRUE(d.Ok);
    EXPECT_EQ(d.Format, (TPcmFormat{1, 44100}));
    EXPECT_GE(d.Frames(), 22050u);
    EXPECT_LE(d.Frames(), 22050u + c.extraFrames);
    EXPECT_NEAR(d.Peak(), 16384, 0.1 * 16384);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SoundPlayerFormats,
                         testing::Values(TFormatCase{"wav_pcm16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0},
                                         TFormatCase{"wav_float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0},
                                         TFormatCase{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0},
                                         TFormatCase{"ogg_vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0},
                                         TFormatCase{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 4000}),
                         [](const auto &row) { return std::string(row.param.name); });

struct TRefusedCase
{
    const char *name;
    QString (*make)(const QDir &dir); // creates the file and returns the path to play
    friend void PrintTo(const TRefusedCase &c, std::ostream *os) { *os << c.name; }
};

class SoundPlayerRefused : public testing::TestWithParam<TRefusedCase>
{
};

TEST_P(SoundPlayerRefused, DecodesNothing)
{
    QTemporaryDir dir;
    const QString path = GetParam().make(QDir(dir.path()));
    int calls = 0;
    EXPECT_FALSE(TSoundPlayer::Decode(path, [&](const TPcmFormat &, std::span<const std::int16_t>) {
        ++calls;
        return true;
    }));
    EXPECT_EQ(calls, 0);
}

namespace {
QString WriteBytes(const QDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(u"sound.wav"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

QString WavAtRate(const QDir &dir, int rate, sf_count_t frames = 100)
{
    const QString path = dir.filePath(u"sound.wav"_s);
    if (!WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, rate, frames, Sine))
        ADD_FAILURE() << "cannot write a wav at " << rate << " Hz";
    return path;
}

QString TruncatedHeader(const QDir &dir)
{
    const QString whole = WavAtRate(dir, 44100);
    QFile file(whole);
    file.open(QIODevice::ReadOnly);
    const QByteArray head = file.read(30);
    file.close();
    QFile::remove(whole);
    return WriteBytes(dir, head);
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Files, SoundPlayerRefused,
    testing::Values(TRefusedCase{"empty_path", [](const QDir &) { return QString(); }},
                    TRefusedCase{"missing", [](const QDir &dir) { return dir.filePath(u"missing.wav"_s); }},
                    TRefusedCase{"directory", [](const QDir &dir) { return dir.path(); }},
                    TRefusedCase{"zero_bytes", [](const QDir &dir) { return WriteBytes(dir, {}); }},
                    TRefusedCase{"text", [](const QDir &dir) { return WriteBytes(dir, QByteArray(4096, 'x')); }},
                    TRefusedCase{"truncated_header", TruncatedHeader},
                    TRefusedCase{"no_frames", [](const QDir &dir) { return WavAtRate(dir, 44100, 0); }},
                    TRefusedCase{"rate_below_range", [](const QDir &dir) { return WavAtRate(dir, 500); }},
                    TRefusedCase{"rate_above_range", [](const QDir &dir) { return WavAtRate(dir, 768000); }},
                    TRefusedCase{"fifo_that_nobody_writes",
                                 [](const QDir &dir) {
                                     const QString path = dir.filePath(u"fifo.wav"_s);
                                     if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
                                         ADD_FAILURE() << "cannot make a fifo";
                                     return path;
                                 }}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(SoundPlayerDecode, StreamsLongFileInBoundedChunks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"long.wav"_s);
    const sf_count_t frames = 10 * 44100;
    ASSERT_TRUE(WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, frames, Sine));

    const TDecoded whole = DecodeAll(path);
    ASSERT_TRUE(whole.Ok);
    EXPECT_EQ(whole.Frames(), static_cast<std::size_t>(frames));
    EXPECT_GT(whole.Chunks, 10);
    EXPECT_LE(whole.LargestChunk, TSoundPlayer::ChunkSamples);

    const TDecoded stopped = DecodeAll(path, 1);
    EXPECT_TRUE(stopped.Ok);
    EXPECT_EQ(stopped.Chunks, 1);
}

TEST(SoundPlayerDecode, MixesManyChannelsToStereo)
{
    // More channels than any sound server takes: even-numbered ones carry 0.2, odd-numbered ones -0.4.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"many.wav"_s);
    ASSERT_TRUE(WriteSound(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 40, 48000, 1000,
                           [](sf_count_t, int channel) { return channel % 2 ? -0.4f : 0.2f; }));

    const TDecoded d = DecodeAll(path);
    ASSERT_TRUE(d.Ok);
    EXPECT_EQ(d.Format, (TPcmFormat{2, 48000}));
    ASSERT_EQ(d.Frames(), 1000u);
    EXPECT_NEAR(d.Samples[0], 0.2 * 32767, 1);
    EXPECT_NEAR(d.Samples[1], -0.4 * 32767, 1);
    EXPECT_LE(d.LargestChunk, TSoundPlayer::ChunkSamples);
}

struct TPcmCase
{
    const char *name;
    int channels;
    std::vector<float> in;
    std::vector<std::int16_t> out;
    friend void PrintTo(const TPcmCase &c, std::ostream *os) { *os << c.name; }
};

class SoundPlayerPcm : public testing::TestWithParam<TPcmCase>
{
};

TEST_P(SoundPlayerPcm, ConvertsFramesToOutputSamples)
{
    const TPcmCase &c = GetParam();
    std::vector<std::int16_t> out{7}; // appends after what is there
    TSoundPlayer::AppendPcm16(c.in.data(), c.in.size() / c.channels, c.channels, out);
    std::vector<std::int16_t> expected{7};
    expected.insert(expected.end(), c.out.begin(), c.out.end());
    EXPECT_EQ(out, expected);
}

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Samples, SoundPlayerPcm,
    testing::Values(TPcmCase{"mono_full_scale_and_half", 1, {1.0f, -1.0f, 0.5f, 0.0f}, {32767, -32767, 16384, 0}},
                    TPcmCase{"clips_beyond_full_scale", 1, {2.0f, -3.0f, Inf, -Inf}, {32767, -32767, 32767, -32767}},
                    TPcmCase{"nan_is_silence", 1, {NaN}, {0}},
                    TPcmCase{"stereo_stays_interleaved", 2, {0.5f, -0.5f, 0.25f, 0.0f}, {16384, -16384, 8192, 0}},
                    TPcmCase{"three_channels_left_gets_the_third", 3, {0.2f, 0.4f, 0.6f}, {13107, 13107}},
                    TPcmCase{"nan_channel_is_silent_in_the_mix", 4, {NaN, 0.5f, 0.5f, 0.5f}, {8192, 16384}}),
    [](const auto &row) { return std::string(row.param.name); });

struct TOutputFormatCase
{
    const char *name;
    int channels, rate;
    std::optional<TPcmFormat> expected;
    friend void PrintTo(const TOutputFormatCase &c, std::ostream *os) { *os << c.name; }
};

class SoundPlayerOutputFormat : public testing::TestWithParam<TOutputFormatCase>
{
};

TEST_P(SoundPlayerOutputFormat, KeepsOrRefusesLayout)
{
    const TOutputFormatCase &c = GetParam();
    EXPECT_EQ(TSoundPlayer::OutputFormat(c.channels, c.rate), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SoundPlayerOutputFormat,
    testing::Values(TOutputFormatCase{"mono", 1, 22050, TPcmFormat{1, 22050}},
                    TOutputFormatCase{"stereo", 2, 48000, TPcmFormat{2, 48000}},
                    TOutputFormatCase{"surround_to_stereo", 6, 48000, TPcmFormat{2, 48000}},
                    TOutputFormatCase{"no_channels", 0, 44100, std::nullopt},
                    TOutputFormatCase{"negative_channels", -2, 44100, std::nullopt},
                    TOutputFormatCase{"rate_at_floor", 1, TSoundPlayer::MinSampleRate,
                                      TPcmFormat{1, TSoundPlayer::MinSampleRate}},
                    TOutputFormatCase{"rate_below_floor", 1, TSoundPlayer::MinSampleRate - 1, std::nullopt},
                    TOutputFormatCase{"rate_at_ceiling", 2, TSoundPlayer::MaxSampleRate,
                                      TPcmFormat{2, TSoundPlayer::MaxSampleRate}},
                    TOutputFormatCase{"rate_above_ceiling", 2, TSoundPlayer::MaxSampleRate + 1, std::nullopt}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(SoundPlayerDefaultTone, IsShortAudibleAndFadedAtBothEnds)
{
    const TPcmFormat format = TSoundPlayer::DefaultToneFormat();
    const std::vector<std::int16_t> tone = TSoundPlayer::DefaultTone();
    ASSERT_EQ(format.Channels, 1);
    const double seconds = static_cast<double>(tone.size()) / format.SampleRate;
    EXPECT_NEAR(seconds, 0.3, 0.05);

    int peak = 0;
    int crossings = 0;
    for (std::size_t i = 0; i < tone.size(); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(tone[i])));
        if (i > 0 && (tone[i - 1] < 0) != (tone[i] < 0))
            ++crossings;
    }
    EXPECT_GT(peak, 0.3 * 32767);
    EXPECT_LT(peak, 0.9 * 32767);
    const double hz = crossings / 2.0 / seconds;
    EXPECT_GT(hz, 300);
    EXPECT_LT(hz, 2000);
    // A step at either end would click.
    EXPECT_LT(std::abs(tone.front()), 100);
    EXPECT_LT(std::abs(tone.back()), 100);
}

class SoundPlayerNoServer : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_options.Server = u"unix:"_s + m_dir.filePath(u"no-server"_s);
        m_options.AlsaDevice.clear();
        m_sound = m_dir.filePath(u"two-seconds.wav"_s);
        ASSERT_TRUE(WriteSound(m_sound, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 2 * 44100, Sine));
    }

    // ALSA's file plugin keeps what would have been played.
    QString RecordToFile()
    {
        const QString raw = m_dir.filePath(u"played.raw"_s);
        m_options.AlsaDevice = u"file:'%1',raw"_s.arg(raw);
        return raw;
    }

    QTemporaryDir m_dir;
    TSoundPlayer::TOptions m_options;
    QString m_sound;
};

TEST_F(SoundPlayerNoServer, ReturnsAtOnceWithoutAnyDevice)
{
    TSoundPlayer player(m_options);
    const auto start = std::chrono::steady_clock::now();
    player.PlaySync(m_sound);
    player.PlaySync(m_dir.filePath(u"missing.wav"_s));
    EXPECT_LT(SecondsSince(start), 1.0);
}

TEST_F(SoundPlayerNoServer, GivesUpOnServerThatNeverAnswers)
{
    // The kernel takes the connection, but nobody ever speaks on it.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    m_options.Server = u"tcp:127.0.0.1:%1"_s.arg(silent.serverPort());
    m_options.ConnectTimeoutMs = 300;
    TSoundPlayer player(m_options);
    const auto start = std::chrono::steady_clock::now();
    player.PlaySync(m_sound);
    EXPECT_GE(SecondsSince(start), 0.25);
    EXPECT_LT(SecondsSince(start), 2.0);
}

TEST_F(SoundPlayerNoServer, FallsBackToAlsaWithTheFileSamples)
{
    const QString raw = RecordToFile();
    TSoundPlayer(m_options).PlaySync(m_sound);
    const TDecoded decoded = DecodeAll(m_sound);
    ASSERT_TRUE(decoded.Ok);
    EXPECT_EQ(ReadRaw(raw), decoded.Samples);
}

TEST_F(SoundPlayerNoServer, PlaysDefaultToneForUnplayableFiles)
{
    const QString raw = RecordToFile();
    const QString garbage = m_dir.filePath(u"garbage.mp3"_s);
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1000, '\x55'));
    file.close();

    for (const QString &path : {QString(), m_dir.filePath(u"missing.wav"_s), garbage}) {
        QFile::remove(raw);
        TSoundPlayer(m_options).PlaySync(path);
        EXPECT_EQ(ReadRaw(raw), TSoundPlayer::DefaultTone()) << path.toStdString();
    }
}
