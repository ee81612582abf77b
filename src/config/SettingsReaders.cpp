#include "config/SettingsReaders.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"

namespace velnor::settings {

namespace {
constexpr int kDefaultMaxRecordingSeconds = 50;
} // namespace

QString recognitionMode(const SettingsStore& store)
{
    return store.stringOr(SettingsKey::RecognitionMode, QStringLiteral("traditional"));
}

bool isRealtimeMode(const SettingsStore& store)
{
    return recognitionMode(store) == QStringLiteral("realtime");
}

int maxRecordingDurationSeconds(const SettingsStore& store)
{
    const QString text = store.stringOr(SettingsKey::MaxRecordingDuration, QStringLiteral("50"));
    bool ok = false;
    // QString::toInt accepts surrounding blanks; a decimal integer string must not have them.
    const int value = text.toInt(&ok, 10);
    if (!ok || text.isEmpty() || text.trimmed() != text)
        return kDefaultMaxRecordingSeconds;
    return value;
}

bool soundEffectsEnabled(const SettingsStore& store)
{
    return store.string(SettingsKey::EnableSoundEffects) != QStringLiteral("false");
}

std::optional<QString> outputLanguage(const SettingsStore& store)
{
    auto value = store.string(SettingsKey::OutputLanguage);
    if (!value || value->isEmpty() || *value == QStringLiteral("default"))
        return std::nullopt;
    return value;
}

bool overOverEnabled(const SettingsStore& store)
{
    return store.string(SettingsKey::OverOverEnable) == QStringLiteral("true");
}

QString overOverKeyType(const SettingsStore& store)
{
    return store.stringOr(SettingsKey::OverOverKeyType, QStringLiteral("enter"));
}

QString currentQasrType(const SettingsStore& store)
{
    return store.stringOr(SettingsKey::CurrentQasrType, QStringLiteral("16k_zh"));
}

bool historyEnabled(const SettingsStore& store)
{
    return store.string(SettingsKey::HistoryEnabled) != QStringLiteral("false");
}

int historyRetentionDays(const SettingsStore& store)
{
    constexpr int kDefaultRetentionDays = 30;
    const QString text = store.stringOr(SettingsKey::HistoryRetentionDays, QString());
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 1 || text.trimmed() != text)
        return kDefaultRetentionDays;
    return value;
}

} // namespace velnor::settings
