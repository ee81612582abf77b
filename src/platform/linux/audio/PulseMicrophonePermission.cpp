#include "platform/linux/audio/PulseMicrophonePermission.h"

#include "platform/linux/audio/PulseConnection.h"

#include <QMetaObject>

#include <algorithm>

namespace velnor {

namespace {

bool isUsableMicrophone(const AudioSourceInfo& source)
{
    return !source.isMonitor && !source.isVirtual && source.isAlive && source.channelCount > 0;
}

} // namespace

PulseMicrophonePermission::PulseMicrophonePermission(PulseConnection& connection, Scheduler& mainQueue)
    : m_connection(connection)
    , m_mainQueue(mainQueue)
{
}

PulseMicrophonePermission::~PulseMicrophonePermission()
{
    m_pending.cancel();
    if (m_observer)
        m_connection.setChangeObserver({});
}

MicrophonePermission::Status PulseMicrophonePermission::status() const
{
    if (!m_connection.isSettled())
        return Status::NotDetermined;
    const auto snapshot = m_connection.snapshot();
    if (!snapshot)
        return m_connection.isRefused() ? Status::Denied : Status::NotDetermined;
    const QList<AudioSourceInfo>& sources = snapshot.value().sources;
    return std::any_of(sources.cbegin(), sources.cend(), isUsableMicrophone) ? Status::Authorized
                                                                            : Status::NotDetermined;
}

QString PulseMicrophonePermission::reason() const
{
    if (!m_connection.isSettled())
        return QStringLiteral("PulseAudio 服务器尚未应答");
    const auto snapshot = m_connection.snapshot();
    if (!snapshot)
        return (m_connection.isRefused() ? QStringLiteral("PulseAudio 服务器拒绝访问: ")
                                         : QStringLiteral("PulseAudio 服务器不可用: "))
            + snapshot.error();
    const QList<AudioSourceInfo>& sources = snapshot.value().sources;
    return std::any_of(sources.cbegin(), sources.cend(), isUsableMicrophone) ? QString()
                                                                            : QStringLiteral("没有可用的麦克风");
}

void PulseMicrophonePermission::request(std::function<void(bool granted)> answer)
{
    answerWhenSettled(std::move(answer), Duration::zero());
}

void PulseMicrophonePermission::answerWhenSettled(std::function<void(bool granted)> answer, Duration waited)
{
    // Looked at again on the main queue: the question never waits for the server.
    const bool settled = m_connection.isSettled() || waited >= AnswerTimeout;
    const Duration delay = settled ? Duration::zero() : PollInterval;
    m_pending = m_mainQueue.after(delay, [this, answer = std::move(answer), settled, waited, delay]() mutable {
        if (!settled) {
            answerWhenSettled(std::move(answer), waited + delay);
            return;
        }
        if (answer)
            answer(mayRecord(status()));
    });
}

void PulseMicrophonePermission::setStatusObserver(std::function<void(Status)> observer)
{
    m_observer = std::move(observer);
    m_reported = status();
    if (!m_observer) {
        m_connection.setChangeObserver({});
        return;
    }
    QObject* mainThread = m_mainThread.get();
    m_connection.setChangeObserver([this, mainThread] {
        // Loop thread: hop to the main thread; dropped once this object is gone.
        QMetaObject::invokeMethod(mainThread, [this] { reportIfChanged(); }, Qt::QueuedConnection);
    });
}

void PulseMicrophonePermission::reportIfChanged()
{
    const Status now = status();
    if (now == m_reported || !m_observer)
        return;
    m_reported = now;
    m_observer(now);
}

} // namespace velnor
