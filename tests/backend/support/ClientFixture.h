#pragma once

#include "backend/APIClient.h"
#include "backend/support/FakeHttpTransport.h"
#include "support/LogCapture.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace velnor::test {

// An APIClient on a fake transport, in-memory settings and virtual time.
class ClientFixture : public ::testing::Test {
protected:
    static inline const QUrl kBase{QStringLiteral("https://api.example.test")};

    void signIn(const QString& token) { settings.setString(QString::fromLatin1(SettingsKey::UserJwt), token); }

    // The JSON body of call `index` as an object.
    QJsonObject jsonBody(qsizetype index)
    {
        return QJsonDocument::fromJson(transport.request(index).body.value_or(QByteArray())).object();
    }

    LogCapture log;
    MemorySettingsStore settings;
    ManualScheduler scheduler;
    FakeHttpTransport transport;
    APIClient client{transport, settings, scheduler, log.logger(), log.redactor(), kBase};
};

} // namespace velnor::test
