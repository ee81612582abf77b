#include "platform/linux/audio/PulseSourceInfo.h"

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

void SourceListing::add(const pa_source_info* info, int eol, const QString& errorText)
{
    if (m_finished)
        return;
    if (eol < 0) {
        m_failure = errorText.isEmpty() ? QStringLiteral("PulseAudio 拒绝列出音频设备") : errorText;
        m_finished = true;
    } else if (eol > 0) {
        m_finished = true;
    } else if (info) {
        m_sources.append(toSourceInfo(*info));
    }
}

Result<QList<AudioSourceInfo>, QString> SourceListing::result() const
{
    using R = Result<QList<AudioSourceInfo>, QString>;
    if (m_failure)
        return R::failure(*m_failure);
    if (!m_finished)
        return R::failure(QStringLiteral("PulseAudio 设备列表不完整"));
    return R::success(m_sources);
}

} // namespace velnor
