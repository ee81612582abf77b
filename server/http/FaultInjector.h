#pragma once

#include <QHash>
#include <QJsonObject>
#include <QMutex>
#include <QString>

#include <optional>

namespace velnor::server {

// One injected failure for the next requests to a path (a test control).
struct Fault {
    int delayMs = 0;          // wait before answering (or dropping)
    int httpStatus = 0;       // answer with this HTTP status instead of 200
    bool malformedBody = false;
    bool dropConnection = false;
    int envelopeCode = 0;     // answer an envelope with this code instead of running the endpoint
    int count = 1;

    // None (with *error) for values out of range; `path` receives the target path.
    static std::optional<Fault> fromJson(const QJsonObject& json, QString* path, QString* error);
};

// Thread-safe: checked by every request, armed by the test control route.
class FaultInjector final {
public:
    void arm(const QString& path, const Fault& fault);
    void clear();

    // Whether a request to `path` is to be dropped (which uses up one request of the fault).
    bool drops(const QString& path);
    // How long to wait before closing the connection that drops() just said to drop.
    int dropDelayMs();
    // Uses up one request's worth of the fault armed for `path`, if any.
    std::optional<Fault> take(const QString& path);

private:
    QMutex m_mutex;
    QHash<QString, Fault> m_faults;
    int m_dropDelayMs = 0;
};

} // namespace velnor::server
