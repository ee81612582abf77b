#pragma once

#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <optional>

namespace velnor {

// How the dashboard shows account values. Pure functions.
namespace AccountDisplay {

// Below 1000 the number; up to 9999 thousands as "%.1fk"; from 10000 up
// ten-thousands as "%.1fw".
QString formatCount(std::uint64_t value);

// The subscription end as "yyyy-MM-dd" in `zone`, parsed with the first of
// the known patterns that fits; a text none fits is shown as received.
QString formatSubscriptionEnd(const QString& endTime, const QTimeZone& zone = QTimeZone::systemTimeZone());

enum class SubscriptionState { Active, Expired, Inactive, Unknown };

// "active", "expired" or "inactive", compared after lower-casing.
SubscriptionState subscriptionState(const std::optional<QString>& status);

} // namespace AccountDisplay
} // namespace velnor
