#include "platform/linux/audio/PulseSourceInfo.h"

#include <pulse/pulseaudio.h>

#include <gtest/gtest.h>

#include <memory>

namespace velnor {
namespace {

// A source description as the server sends it, with its property list.
class SourceBuilder {
public:
    SourceBuilder()
        : m_properties(pa_proplist_new(), pa_proplist_free)
    {
        m_info.name = "alsa_input.usb-Mic";
        m_info.description = "USB Mic";
        m_info.driver = "module-alsa-card.c";
        m_info.monitor_of_sink = PA_INVALID_INDEX;
        m_info.state = PA_SOURCE_SUSPENDED;
        m_info.sample_spec = pa_sample_spec{PA_SAMPLE_S16LE, 44100, 2};
        m_info.proplist = m_properties.get();
    }
    SourceBuilder& property(const char* key, const char* value)
    {
        pa_proplist_sets(m_properties.get(), key, value);
        return *this;
    }
    pa_source_info& info() { return m_info; }

private:
    std::unique_ptr<pa_proplist, void (*)(pa_proplist*)> m_properties;
    pa_source_info m_info{};
};

TEST(PulseSourceInfo, SourceKeepsItsNameFormatBusAndFormFactor)
{
    SourceBuilder source;
    source.property(PA_PROP_DEVICE_BUS, "usb").property(PA_PROP_DEVICE_CLASS, "sound");
    const AudioSourceInfo info = toSourceInfo(source.info());
    EXPECT_EQ(info.name, QStringLiteral("alsa_input.usb-Mic"));
    EXPECT_EQ(info.description, QStringLiteral("USB Mic"));
    EXPECT_EQ(info.bus, QStringLiteral("usb"));
    EXPECT_FALSE(info.isMonitor);
    EXPECT_FALSE(info.isVirtual);
    EXPECT_TRUE(info.isAlive); // suspended is idle, not dead
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(info.sampleRate, 44100);

    // A Bluetooth headset without a description.
    SourceBuilder headset;
    headset.property(PA_PROP_DEVICE_BUS, "bluetooth").property(PA_PROP_DEVICE_FORM_FACTOR, "headset");
    headset.info().description = nullptr;
    const AudioSourceInfo bluetooth = toSourceInfo(headset.info());
    EXPECT_EQ(bluetooth.bus, QStringLiteral("bluetooth"));
    EXPECT_EQ(bluetooth.formFactor, QStringLiteral("headset"));
    EXPECT_TRUE(bluetooth.description.isEmpty());
}

TEST(PulseSourceInfo, MonitorsAndNullSourcesAreFlagged)
{
    SourceBuilder monitor;
    monitor.info().monitor_of_sink = 3;
    EXPECT_TRUE(toSourceInfo(monitor.info()).isMonitor);

    SourceBuilder classMonitor;
    classMonitor.property(PA_PROP_DEVICE_CLASS, "monitor");
    EXPECT_TRUE(toSourceInfo(classMonitor.info()).isMonitor);

    SourceBuilder abstract;
    abstract.property(PA_PROP_DEVICE_CLASS, "abstract");
    EXPECT_TRUE(toSourceInfo(abstract.info()).isVirtual);

    SourceBuilder nullSource;
    nullSource.info().driver = "module-null-source.c";
    EXPECT_TRUE(toSourceInfo(nullSource.info()).isVirtual);

    // A remapped or echo-cancelled source is a real microphone to the user.
    SourceBuilder filter;
    filter.property(PA_PROP_DEVICE_CLASS, "filter");
    filter.info().driver = "module-remap-source.c";
    EXPECT_FALSE(toSourceInfo(filter.info()).isVirtual);
    EXPECT_FALSE(toSourceInfo(filter.info()).isMonitor);
}

TEST(PulseSourceInfo, UnpluggedOrInvalidSourcesAreDead)
{
    pa_source_port_info port{};
    port.name = "analog-input-mic";
    port.available = PA_PORT_AVAILABLE_NO;
    SourceBuilder unplugged;
    unplugged.info().active_port = &port;
    EXPECT_FALSE(toSourceInfo(unplugged.info()).isAlive);

    port.available = PA_PORT_AVAILABLE_UNKNOWN;
    EXPECT_TRUE(toSourceInfo(unplugged.info()).isAlive);

    SourceBuilder invalid;
    invalid.info().state = PA_SOURCE_INVALID_STATE;
    EXPECT_FALSE(toSourceInfo(invalid.info()).isAlive);
}

// The server refusing a listing (end of list < 0) is a failure with its
// reason, never an empty list (no devices, microphone "denied").
TEST(PulseSourceInfo, ARefusedListingIsAFailureNotAnEmptyList)
{
    SourceBuilder source;
    struct Case {
        const char* name;
        bool refused;
    };
    for (const Case& c : {Case{"complete", false}, Case{"refused", true}}) {
        SCOPED_TRACE(c.name);
        SourceListing listing;
        listing.add(&source.info(), 0, {});
        EXPECT_FALSE(listing.isFinished());
        listing.add(nullptr, c.refused ? -1 : 1, c.refused ? QStringLiteral("Access denied") : QString());
        listing.add(&source.info(), 0, {}); // nothing counts after the end
        EXPECT_TRUE(listing.isFinished());
        const auto result = listing.result();
        ASSERT_EQ(result.ok(), !c.refused);
        if (c.refused)
            EXPECT_EQ(result.error(), "Access denied");
        else
            EXPECT_EQ(result.value().size(), 1);
    }
}

} // namespace
} // namespace velnor
