#pragma once

#include "backend/APIClient.h"
#include "backend/support/FakeHttpTransport.h"
#include "support/LogCapture.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"
#include "core/ServiceError.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace velnor::test {

// One answer of the backend: an envelope body or, without one, a transport failure.
struct Reply {
    const char* body = nullptr;
    TransportErrorKind failure = TransportErrorKind::Other;
};

// "ok", or the error as its log line renders it.
template <typename T>
std::string outcomeText(const Result<T, ServiceError>& outcome)
{
    return outcome.ok() ? "ok" : outcome.error().toString().toStdString();
}
template <typename T>
std::string outcomeText(const std::optional<Result<T, ServiceError>>& outcome)
{
    return outcome ? outcomeText(*outcome) : "no answer";
}

// An APIClient on a fake transport, in-memory settings and virtual time.
class ClientFixture : public ::testing::Test {
protected:
    void signIn(const QString& token) { settings.setString(QString::fromLatin1(SettingsKey::UserJwt), token); }

    // The JSON body of call `index` as an object.
    QJsonObject jsonBody(qsizetype index)
    {
        return QJsonDocument::fromJson(transport.request(index).body.value_or(QByteArray())).object();
    }

    // Answers the last call.
    void reply(const Reply& answer)
    {
        if (answer.body)
            transport.respondBody(answer.body);
        else
            transport.respondError(answer.failure);
    }

    // A completion that keeps its result in `slot` (emptied first).
    template <typename T>
    static std::function<void(T)> into(std::optional<T>& slot)
    {
        slot.reset();
        return [&slot](T value) { slot = std::move(value); };
    }

    LogCapture log;
    MemorySettingsStore settings;
    ManualScheduler scheduler;
    FakeHttpTransport transport;
    APIClient client{transport, settings, scheduler, log.logger(), log.redactor(), QUrl(QStringLiteral("https://api.example.test"))};
};

} // namespace velnor::test
