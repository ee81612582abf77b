#include "platform/linux/audio/PulseSourceInfo.h"

#include "platform/linux/audio/PulseConnection.h"

#include <pulse/pulseaudio.h>

namespace velnor {

namespace {

QString property(const pa_proplist* list, const char* key)
{
    const char* value = list ? pa_proplist_gets(list, key) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

} // namespace

AudioSourceInfo toSourceInfo(const pa_source_info& info)
{
    AudioSourceInfo source;
    source.name = QString::fromUtf8(info.name);
    source.description = info.description ? QString::fromUtf8(info.description) : QString();
    const QString deviceClass = property(info.proplist, PA_PROP_DEVICE_CLASS);
    source.isMonitor = info.monitor_of_sink != PA_INVALID_INDEX || deviceClass == QLatin1String("monitor");
    // Null sources and the like are "abstract": no hardware behind them.
    const QString driver = info.driver ? QString::fromUtf8(info.driver) : QString();
    source.isVirtual = deviceClass == QLatin1String("abstract") || driver.startsWith(QLatin1String("module-null-"));
    source.bus = property(info.proplist, PA_PROP_DEVICE_BUS);
    source.formFactor = property(info.proplist, PA_PROP_DEVICE_FORM_FACTOR);
    // An unplugged jack leaves its source listed with its port unavailable.
    const bool unplugged = info.active_port && info.active_port->available == PA_PORT_AVAILABLE_NO;
    source.isAlive = info.state != PA_SOURCE_INVALID_STATE && !unplugged;
    source.channelCount = info.sample_spec.channels;
    source.sampleRate = int(info.sample_spec.rate);
    return source;
}

std::optional<QString> queryDefaultSourceName(PulseConnection& connection)
{
    struct Query {
        std::function<void()> done;
        QString name;
    } query;
    const bool ok = connection.run([&](std::function<void()> done) {
        query.done = std::move(done);
        return pa_context_get_server_info(
            connection.context(),
            [](pa_context*, const pa_server_info* info, void* userdata) {
                auto* self = static_cast<Query*>(userdata);
                if (info && info->default_source_name)
                    self->name = QString::fromUtf8(info->default_source_name);
                self->done();
            },
            &query);
    });
    if (!ok)
        return std::nullopt;
    return query.name;
}

std::optional<AudioSourceInfo> querySource(PulseConnection& connection, const QString& name)
{
    struct Query {
        std::function<void()> done;
        std::optional<AudioSourceInfo> source;
    } query;
    const QByteArray utf8 = name.toUtf8();
    const bool ok = connection.run([&](std::function<void()> done) {
        query.done = std::move(done);
        return pa_context_get_source_info_by_name(
            connection.context(), utf8.constData(),
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                auto* self = static_cast<Query*>(userdata);
                if (eol != 0) {
                    self->done();
                    return;
                }
                if (info)
                    self->source = toSourceInfo(*info);
            },
            &query);
    });
    if (!ok)
        return std::nullopt;
    return query.source;
}

} // namespace velnor
