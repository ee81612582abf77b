#pragma once

#include <QString>

#include <optional>

namespace velnor {

class SettingsStore;

// The readers' fallbacks for absent or unexpected values, in one place.
namespace settings {

// Exactly "realtime" selects real-time mode; the mode text is also logged.
QString recognitionMode(const SettingsStore& store);
bool isRealtimeMode(const SettingsStore& store);

// Whole seconds; "50" when absent, empty or not a decimal integer (an
// optional leading sign is accepted).
int maxRecordingDurationSeconds(const SettingsStore& store);

// Sounds are off only when the value is exactly "false".
bool soundEffectsEnabled(const SettingsStore& store);

// None when absent, empty or "default".
std::optional<QString> outputLanguage(const SettingsStore& store);

// On only when exactly "true".
bool overOverEnabled(const SettingsStore& store);
QString overOverKeyType(const SettingsStore& store);

QString currentQasrType(const SettingsStore& store);

// History is kept unless the value is exactly "false".
bool historyEnabled(const SettingsStore& store);
// Whole days, at least 1; 30 when absent or not a positive decimal integer.
int historyRetentionDays(const SettingsStore& store);

} // namespace settings
} // namespace velnor
