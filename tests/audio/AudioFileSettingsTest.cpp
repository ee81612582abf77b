#include "AudioTestSupport.h"

#include "audio/AudioFileSettings.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

namespace Key = AudioFileSettings;

const AudioFormat Mono48k{48000, 1, SampleType::Float32, true};

TEST(AudioFileSettings, RateAndChannelsAlwaysFollowTheInputWithWarnings)
{
    // An integer or text rate must not slip through either.
    test::LogCapture log;
    for (const QVariant& rate : {QVariant(16000.0), QVariant(16000), QVariant(QStringLiteral("16000"))}) {
        const QVariantMap user{{Key::SampleRateKey, rate},
                               {Key::ChannelCountKey, QVariant::fromValue<quint32>(2)},
                               {Key::QualityKey, 64},
                               {QStringLiteral("Custom"), QStringLiteral("kept")}};
        const QVariantMap settings = AudioFileSettings::adapted(Mono48k, user, log.logger());
        EXPECT_DOUBLE_EQ(settings.value(Key::SampleRateKey).toDouble(), 48000.0);
        EXPECT_EQ(settings.value(Key::ChannelCountKey).toUInt(), 1u);
        EXPECT_EQ(settings.value(Key::QualityKey).toInt(), 64);
        EXPECT_EQ(settings.value(QStringLiteral("Custom")).toString(), QStringLiteral("kept"));
    }
    EXPECT_EQ(log.linesWith(QStringLiteral("[AudioRecorder] 用户设置的采样率(16000)与输入格式不匹配(48000)，使用输入格式")).size(), 3);
    EXPECT_EQ(log.linesWith(QStringLiteral("[AudioRecorder] 用户设置的通道数(2)与输入格式不匹配(1)，使用输入格式")).size(), 3);
}

} // namespace
} // namespace velnor
