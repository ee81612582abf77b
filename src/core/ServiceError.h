#pragma once

#include <QString>
#include <QVariantMap>

namespace velnor {

// An error of a service call: a domain, an integer code and its texts.
// User-info keys follow the platform's conventions ("NSLocalizedDescription"
// is carried in `description`; failure reason and recovery suggestion get
// their own fields because callers show them).
struct ServiceError {
    QString domain;
    int code = 0;
    QString description;
    QString failureReason;
    QString recoverySuggestion;
    QVariantMap userInfo;

    // "Domain Code=N \"description\"", the usual rendering in log lines.
    QString toString() const
    {
        return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(domain).arg(code).arg(description);
    }
};

} // namespace velnor
