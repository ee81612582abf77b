#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <optional>

namespace velnor::server {

// A request copied out of the HTTP server, so handlers can run on worker threads.
struct ApiRequest {
    QHttpServerRequest::Method method = QHttpServerRequest::Method::Unknown;
    QString path;
    QString encodedPath;   // as sent (percent-encoded): the form that goes into logs
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QHostAddress remoteAddress;

    static ApiRequest from(const QHttpServerRequest& request);

    // The first header called `name` (any case); empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // The body as a JSON object; none (with *error) when it is not one.
    std::optional<QJsonObject> jsonObject(QString* error) const;
};

// What a handler answers: normally an envelope with HTTP 200.
struct ApiReply {
    int httpStatus = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    int envelopeCode = 0;   // for the request log
};

} // namespace velnor::server
