#pragma once

#include "backend/AuthTypes.h"

#include <QColor>
#include <QString>
#include <QTimeZone>

namespace velnor {

// What the dashboard cards show for one account record. Pure.
struct DashboardSummary {
    QString wordsDictated;
    QString invites;
    QString inviteCode;
    QString statusText;
    QColor statusColour;
    QString expiry;

    static DashboardSummary from(const std::optional<User>& user, const QTimeZone& zone = QTimeZone::systemTimeZone());
};

} // namespace velnor
