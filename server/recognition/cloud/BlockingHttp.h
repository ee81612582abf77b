#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <chrono>

namespace velnor::server::cloud {

// What came back from one HTTP call: a status and body, or why not.
struct HttpAnswer {
    int status = 0; // 0: no HTTP answer
    QByteArray body;
    QString error;  // set when status is 0; never holds the request's headers
};

// One POST made from a thread without a running event loop (a request
// thread): its own network manager and a local event loop on that thread, so
// the server's main loop is neither needed nor entered. Returns by `deadline`;
// answers longer than `maxAnswerBytes` are cut off as a failure; redirects are
// not followed (a signed request goes only where it was signed for).
HttpAnswer postAndWait(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
                       std::chrono::steady_clock::time_point deadline, qint64 maxAnswerBytes);

// The Host header text for `url`: host, and ":port" when the port is not the scheme's default.
QString hostHeaderOf(const QUrl& url);

} // namespace velnor::server::cloud
