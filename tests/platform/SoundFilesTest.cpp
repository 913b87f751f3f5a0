#include "support/TestSupport.h"

#include "platform/SoundFiles.h"
#include "platform/SoundPlayer.h"

#include <QCoreApplication>
#include <QDir>

struct TShippedCase
{
    const char *name;
    QString (*path)();
    double minSeconds, maxSeconds;
    friend void PrintTo(const TShippedCase &c, std::ostream *os) { *os << c.name; }
};

class SoundFilesShipped : public testing::TestWithParam<TShippedCase>
{
};

// The test program sits in <build>/bin like the alarm clock, so this also checks that the build put the sounds
// where the program looks for them.
TEST_P(SoundFilesShipped, PlaysFromShareFolderBesideProgram)
{
    const TShippedCase &c = GetParam();
    const QString path = c.path();
    EXPECT_TRUE(QDir::isAbsolutePath(path));
    EXPECT_EQ(QDir::cleanPath(path), path);
    EXPECT_EQ(QDir(QCoreApplication::applicationDirPath()).relativeFilePath(path).section(u'/', 0, 3),
              u"../share/tocsinet/sounds"_s);

    std::size_t frames = 0;
    int rate = 0;
    int peak = 0;
    ASSERT_TRUE(TSoundPlayer::Decode(path, [&](const TSoundPlayer::TPcmFormat &format, auto samples) {
        rate = format.SampleRate;
        frames += samples.size() / format.Channels;
        for (std::int16_t s : samples)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        return true;
    })) << path.toStdString();
    const double seconds = static_cast<double>(frames) / rate;
    EXPECT_GE(seconds, c.minSeconds);
    EXPECT_LE(seconds, c.maxSeconds);
    EXPECT_GT(peak, 0.25 * 32767);
}

INSTANTIATE_TEST_SUITE_P(Sounds, SoundFilesShipped,
                         testing::Values(TShippedCase{"alarm_ring", DefaultAlarmSound, 2.0, 3.0},
                                         TShippedCase{"prealarm_beep", DefaultPreAlarmSound, 0.1, 0.3}),
                         [](const auto &row) { return std::string(row.param.name); });
