#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

namespace velnor {

// Keeps secrets out of log lines: any "Bearer <token>" and every value
// registered as secret (the session token, the recogniser's secret key) is
// replaced by "<redacted>". Thread-safe: loggers call it on their own queues.
class SecretRedactor final {
public:
    void addSecret(const QString& secret);
    void removeSecret(const QString& secret);

    QString redact(const QString& text) const;

private:
    mutable std::mutex m_mutex;
    QStringList m_secrets;
};

} // namespace velnor
