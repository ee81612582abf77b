#pragma once

#include "backend/HttpTransport.h"
#include "backend/JsonCodec.h"
#include "log/ConsoleSink.h"

#include <QObject>
#include <QUrl>

namespace velnor {

struct UpdateData {
    bool is_need_update = false;
    bool focus_update = false; // the update is compulsory
    QString update_url;
    QString update_desc;
    QString update_version;
};

// The whole body of "/app/check"; every field is required.
struct UpdateCheckResponse {
    qint64 code = 0;
    QString msg;
    UpdateData data;

    static Result<UpdateCheckResponse, DecodingError> decode(const QByteArray& body);
};

// The settings screen's update check: one GET at a time, without the session
// token; failures are only printed and leave the state as it was.
class UpdateChecker final : public QObject {
    Q_OBJECT
public:
    UpdateChecker(HttpTransport& transport, QUrl baseUrl, QString currentVersion, QString platform, ConsoleSink print,
                  Duration timeout = std::chrono::seconds(60), QObject* parent = nullptr);

    bool isCheckingUpdate() const { return m_isCheckingUpdate; }
    bool updateAvailable() const { return m_updateAvailable; }
    const std::optional<UpdateData>& updateInfo() const { return m_updateInfo; }
    const QString& currentVersion() const { return m_currentVersion; }

    void checkForUpdates();

    // Base URL + "/app/check" with "current_version" and "platform".
    static QUrl checkUrl(const QUrl& baseUrl, const QString& currentVersion, const QString& platform);

signals:
    void changed();

private:
    void apply(const HttpResponse& response);

    HttpTransport& m_transport;
    const QUrl m_baseUrl;
    const QString m_currentVersion;
    const QString m_platform;
    ConsoleSink m_print;
    const Duration m_timeout;
    bool m_isCheckingUpdate = false;
    bool m_updateAvailable = false;
    std::optional<UpdateData> m_updateInfo;
    TaskHandlePtr m_task;
};

} // namespace velnor
