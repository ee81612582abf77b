#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace velnor {

// What one backend call sends; the per-endpoint services fill it in.
struct APIRequest {
    QString url; // base URL + path
    QString method;
    // Added to the request in order (an existing field gets the value appended).
    QList<QPair<QString, QString>> headers;
    // The JSON body; absent for GET.
    std::optional<QJsonObject> parameters;
    // When both are present the multipart body is sent instead of `parameters`.
    std::optional<QByteArray> multipartData;
    std::optional<QString> multipartFormBoundary;

    // The one header every JSON endpoint carries.
    static QList<QPair<QString, QString>> jsonHeaders()
    {
        return {{QStringLiteral("Content-Type"), QStringLiteral("application/json")}};
    }
};

} // namespace velnor
