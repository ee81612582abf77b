#include "platform/linux/audio/PulseAudioDevices.h"

#include "platform/linux/audio/PulseConnection.h"
#include "platform/linux/audio/PulseSourceInfo.h"

#include <pulse/pulseaudio.h>

namespace velnor {

namespace {

struct SourceQuery {
    std::function<void()> done;
    QList<AudioSourceInfo> sources;
};

void onSource(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    auto* query = static_cast<SourceQuery*>(userdata);
    if (eol != 0) {
        query->done();
        return;
    }
    if (info)
        query->sources.append(toSourceInfo(*info));
}

} // namespace

Result<QList<AudioSourceInfo>, QString> PulseAudioDevices::sources()
{
    using R = Result<QList<AudioSourceInfo>, QString>;
    PulseConnection connection("Velnor devices");
    if (const auto error = connection.connect())
        return R::failure(*error);
    SourceQuery query;
    const bool ok = connection.run([&](std::function<void()> done) {
        query.done = std::move(done);
        return pa_context_get_source_info_list(connection.context(), onSource, &query);
    });
    if (!ok)
        return R::failure(connection.lastError());
    return R::success(query.sources);
}

Result<QString, QString> PulseAudioDevices::defaultSourceName()
{
    using R = Result<QString, QString>;
    PulseConnection connection("Velnor devices");
    if (const auto error = connection.connect())
        return R::failure(*error);
    const auto name = queryDefaultSourceName(connection);
    return name ? R::success(*name) : R::failure(connection.lastError());
}

std::optional<QString> PulseAudioDevices::setDefaultSource(const QString& name)
{
    PulseConnection connection("Velnor devices");
    if (const auto error = connection.connect())
        return error;
    struct Change {
        std::function<void()> done;
        bool success = false;
    } change;
    const QByteArray utf8 = name.toUtf8();
    const bool ok = connection.run([&](std::function<void()> done) {
        change.done = std::move(done);
        return pa_context_set_default_source(
            connection.context(), utf8.constData(),
            [](pa_context*, int success, void* userdata) {
                auto* self = static_cast<Change*>(userdata);
                self->success = success != 0;
                self->done();
            },
            &change);
    });
    if (!ok || !change.success)
        return connection.lastError();
    return std::nullopt;
}

} // namespace velnor
