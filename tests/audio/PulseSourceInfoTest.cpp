#include "platform/linux/audio/PulseSourceInfo.h"

#include <pulse/pulseaudio.h>

#include <gtest/gtest.h>

#include <memory>

namespace velnor {
namespace {

// A source description as the server sends it, with its property list.
struct SourceBuilder {
    SourceBuilder()
    {
        info.name = "alsa_input.usb-Mic";
        info.description = "USB Mic";
        info.driver = "module-alsa-card.c";
        info.monitor_of_sink = PA_INVALID_INDEX;
        info.state = PA_SOURCE_SUSPENDED;
        info.sample_spec = pa_sample_spec{PA_SAMPLE_S16LE, 44100, 2};
        info.proplist = properties.get();
        property(PA_PROP_DEVICE_BUS, "bluetooth").property(PA_PROP_DEVICE_FORM_FACTOR, "headset");
    }
    SourceBuilder& property(const char* key, const char* value)
    {
        pa_proplist_sets(properties.get(), key, value);
        return *this;
    }

    std::unique_ptr<pa_proplist, void (*)(pa_proplist*)> properties{pa_proplist_new(), pa_proplist_free};
    pa_source_info info{};
};

// Every source keeps its name, format, bus and form factor. Monitors and null
// sources are flagged; a remapped or echo-cancelled source is a real
// microphone to the user; suspended is idle, not dead.
TEST(PulseSourceInfo, SourcesKeepTheirNameAndFormatAndMonitorsNullAndDeadSourcesAreFlagged)
{
    pa_source_port_info port{};
    port.name = "analog-input-mic";
    const auto withPort = [&port](pa_port_available_t available) {
        return [&port, available](SourceBuilder& s) {
            port.available = available;
            s.info.active_port = &port;
        };
    };
    struct Case {
        const char* name;
        std::function<void(SourceBuilder&)> arrange;
        bool monitor, isVirtual, alive;
    };
    for (const Case& c : {
             Case{"microphone", [](SourceBuilder& s) { s.property(PA_PROP_DEVICE_CLASS, "sound"); }, false, false, true},
             Case{"monitor of a sink", [](SourceBuilder& s) { s.info.monitor_of_sink = 3; }, true, false, true},
             Case{"monitor class", [](SourceBuilder& s) { s.property(PA_PROP_DEVICE_CLASS, "monitor"); }, true, false, true},
             Case{"abstract", [](SourceBuilder& s) { s.property(PA_PROP_DEVICE_CLASS, "abstract"); }, false, true, true},
             Case{"null source", [](SourceBuilder& s) { s.info.driver = "module-null-source.c"; }, false, true, true},
             Case{"remapped",
                  [](SourceBuilder& s) {
                      s.property(PA_PROP_DEVICE_CLASS, "filter");
                      s.info.driver = "module-remap-source.c";
                  },
                  false, false, true},
             Case{"unplugged", withPort(PA_PORT_AVAILABLE_NO), false, false, false},
             Case{"port state unknown", withPort(PA_PORT_AVAILABLE_UNKNOWN), false, false, true},
             Case{"invalid state", [](SourceBuilder& s) { s.info.state = PA_SOURCE_INVALID_STATE; }, false, false, false},
         }) {
        SCOPED_TRACE(c.name);
        SourceBuilder source;
        c.arrange(source);
        const AudioSourceInfo info = toSourceInfo(source.info);
        EXPECT_EQ(info.isMonitor, c.monitor);
        EXPECT_EQ(info.isVirtual, c.isVirtual);
        EXPECT_EQ(info.isAlive, c.alive);
        EXPECT_EQ(QStringList({info.name, info.description, info.bus, info.formFactor}),
                  QStringList({"alsa_input.usb-Mic", "USB Mic", "bluetooth", "headset"}));
        EXPECT_EQ(std::pair(info.channelCount, info.sampleRate), std::pair(2, 44100));
    }
}

// The server refusing a listing (end of list < 0) is a failure with its
// reason, never an empty list (no devices, microphone "denied").
TEST(PulseSourceInfo, ARefusedListingIsAFailureNotAnEmptyList)
{
    SourceBuilder source;
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "complete");
        SourceListing listing;
        listing.add(&source.info, 0, {});
        EXPECT_FALSE(listing.isFinished());
        listing.add(nullptr, refused ? -1 : 1, refused ? QStringLiteral("Access denied") : QString());
        listing.add(&source.info, 0, {}); // nothing counts after the end
        EXPECT_TRUE(listing.isFinished());
        const auto result = listing.result();
        ASSERT_EQ(result.ok(), !refused);
        EXPECT_EQ(refused ? result.error() : QString::number(result.value().size()), refused ? "Access denied" : "1");
    }
}

} // namespace
} // namespace velnor
