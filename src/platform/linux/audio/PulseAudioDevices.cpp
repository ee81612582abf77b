#include "platform/linux/audio/PulseAudioDevices.h"

#include "platform/linux/audio/PulseConnection.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace velnor {

PulseAudioDevices::PulseAudioDevices(PulseConnection& connection)
    : m_connection(connection)
{
}

Result<QList<AudioSourceInfo>, QString> PulseAudioDevices::sources()
{
    using R = Result<QList<AudioSourceInfo>, QString>;
    const auto snapshot = m_connection.snapshot();
    return snapshot ? R::success(snapshot.value().sources) : R::failure(snapshot.error());
}

Result<QString, QString> PulseAudioDevices::defaultSourceName()
{
    using R = Result<QString, QString>;
    const auto snapshot = m_connection.snapshot();
    return snapshot ? R::success(snapshot.value().defaultSource) : R::failure(snapshot.error());
}

std::optional<QString> PulseAudioDevices::setDefaultSource(const QString& name)
{
    const auto snapshot = m_connection.snapshot();
    if (!snapshot)
        return snapshot.error();
    const QList<AudioSourceInfo>& sources = snapshot.value().sources;
    if (std::none_of(sources.cbegin(), sources.cend(), [&](const AudioSourceInfo& s) { return s.name == name; }))
        return QStringLiteral("没有这个音频输入设备: ") + name;
    {
        PulseConnection::Lock lock(m_connection);
        pa_context* context = m_connection.readyContext();
        if (!context)
            return m_connection.lastError();
        const QByteArray utf8 = name.toUtf8();
        pa_operation* operation = pa_context_set_default_source(
            context, utf8.constData(),
            [](pa_context*, int success, void* connection) {
                // Refused after all: the next listing puts the server's own default back.
                if (!success)
                    static_cast<PulseConnection*>(connection)->refreshLocked();
            },
            &m_connection);
        if (!operation)
            return m_connection.lastError();
        pa_operation_unref(operation);
    }
    m_connection.noteDefaultSource(name);
    return std::nullopt;
}

} // namespace velnor
