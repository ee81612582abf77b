#pragma once

#include "backend/APIRequest.h"
#include "backend/APIResponse.h"
#include "backend/HttpTransport.h"
#include "core/Result.h"
#include "core/Scheduler.h"
#include "core/TaskHandle.h"

#include <QUrl>

#include <functional>

namespace velnor {

class Logger;
class SecretRedactor;
class SettingsStore;

// The one client every backend call goes through: builds the HTTP request
// (bearer token from the settings, JSON or multipart body, timeout), logs the
// request and the answer, and decodes the envelope. It keeps no per-request
// state. Completions run on the transport's thread (the GUI thread).
class APIClient final {
public:
    using Completion = std::function<void(Result<APIResponse, APIClientError>)>;

    static constexpr Duration kDefaultTimeout = std::chrono::seconds(60);

    APIClient(HttpTransport& transport, const SettingsStore& settings, Scheduler& mainQueue, Logger& log,
              SecretRedactor& redactor, QUrl baseUrl, Duration timeout = kDefaultTimeout);

    // Base URL + path, as the request descriptions use it.
    QString endpoint(const QString& path) const;
    const QUrl& baseUrl() const { return m_baseUrl; }
    Duration timeout() const { return m_timeout; }

    // None when the request cannot be built; the completion then still runs
    // once, on the next turn of the main queue.
    TaskHandlePtr send(const APIRequest& request, Completion completion);

    // Logs print bodies through this: values of "token"-like keys become "<redacted>".
    static QString redactBody(const QString& body);
    // The printed form of header fields, with the bearer token hidden.
    static QString printedHeaders(const QList<HttpHeader>& headers);

private:
    void handleResponse(const QString& method, const QString& url, const HttpResponse& response,
                        const Completion& completion);
    void failSoon(Completion completion, APIClientError error);

    HttpTransport& m_transport;
    const SettingsStore& m_settings;
    Scheduler& m_mainQueue;
    Logger& m_log;
    SecretRedactor& m_redactor;
    const QUrl m_baseUrl;
    const Duration m_timeout;
};

} // namespace velnor
