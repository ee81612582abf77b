#include "ui/main/DashboardSummary.h"

#include "backend/AccountDisplay.h"

namespace velnor {

namespace {

const QColor kGrey(0x8e, 0x8e, 0x93);

void describeStatus(const std::optional<QString>& status, DashboardSummary& summary)
{
    using State = AccountDisplay::SubscriptionState;
    switch (AccountDisplay::subscriptionState(status)) {
    case State::Active:
        summary.statusText = QStringLiteral("已激活");
        summary.statusColour = QColor(0x7e, 0xd3, 0x21);
        return;
    case State::Expired:
        summary.statusText = QStringLiteral("已过期");
        summary.statusColour = QColor(0xd0, 0x02, 0x1b);
        return;
    case State::Inactive:
        summary.statusText = QStringLiteral("未激活");
        summary.statusColour = QColor(0xff, 0x95, 0x00);
        return;
    case State::Unknown:
        summary.statusText = status ? *status : QStringLiteral("未知");
        summary.statusColour = kGrey;
        return;
    }
}

} // namespace

DashboardSummary DashboardSummary::from(const std::optional<User>& user, const QTimeZone& zone)
{
    DashboardSummary summary;
    const auto count = [](std::optional<std::uint64_t> value) { return AccountDisplay::formatCount(value.value_or(0)); };
    summary.wordsDictated = count(user ? user->generatewordsTotal : std::nullopt);
    const std::optional<Invite> invite = user ? user->invite : std::nullopt;
    summary.invites = count(invite ? invite->totalInvites : std::nullopt);
    summary.inviteCode = invite && invite->code && !invite->code->isEmpty() ? *invite->code : QStringLiteral("-");
    const std::optional<VIP2> vip = user ? user->vip2 : std::nullopt;
    describeStatus(vip ? vip->status : std::nullopt, summary);
    summary.expiry = vip && vip->endTime ? AccountDisplay::formatSubscriptionEnd(*vip->endTime, zone) : QStringLiteral("-");
    return summary;
}

} // namespace velnor
