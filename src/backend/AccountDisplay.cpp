#include "backend/AccountDisplay.h"

#include <QDateTime>
#include <QRegularExpression>

namespace velnor::AccountDisplay {

QString formatCount(std::uint64_t value)
{
    if (value < 1000)
        return QString::number(value);
    if (value < 10000)
        return QString::asprintf("%.1fk", static_cast<double>(value) / 1000.0);
    return QString::asprintf("%.1fw", static_cast<double>(value) / 10000.0);
}

namespace {

// A zone designator: "Z", "+hhmm", "+hh:mm" or "+hh". None when malformed.
std::optional<QTimeZone> parseZone(const QString& text)
{
    if (text == QLatin1String("Z"))
        return QTimeZone::utc();
    static const QRegularExpression offset(QStringLiteral("^([+-])(\\d{2}):?(\\d{2})?$"));
    const auto match = offset.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int seconds = (match.captured(2).toInt() * 60 + match.captured(3).toInt()) * 60;
    return QTimeZone(match.captured(1) == QLatin1String("-") ? -seconds : seconds);
}

std::optional<QDateTime> parseEnd(const QString& text, const QTimeZone& zone)
{
    // The patterns in order: with milliseconds and zone, with zone, without
    // zone ('T' or space), date only. Times without a zone are local.
    static const QRegularExpression withMillisAndZone(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2})\\.(\\d{3})(Z|[+-]\\d{2}:?\\d{2})$"));
    static const QRegularExpression withZone(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2})(Z|[+-]\\d{2}:?\\d{2})$"));
    if (auto m = withMillisAndZone.match(text); m.hasMatch()) {
        const auto z = parseZone(m.captured(3));
        QDateTime when = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
        if (z && when.isValid()) {
            when.setTimeZone(*z);
            return when.addMSecs(m.captured(2).toInt());
        }
    }
    if (auto m = withZone.match(text); m.hasMatch()) {
        const auto z = parseZone(m.captured(2));
        QDateTime when = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
        if (z && when.isValid()) {
            when.setTimeZone(*z);
            return when;
        }
    }
    for (const char* pattern : {"yyyy-MM-dd'T'HH:mm:ss", "yyyy-MM-dd HH:mm:ss"}) {
        QDateTime when = QDateTime::fromString(text, QString::fromLatin1(pattern));
        if (when.isValid()) {
            when.setTimeZone(zone);
            return when;
        }
    }
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid())
        return QDateTime(date, QTime(0, 0), zone);
    return std::nullopt;
}

} // namespace

QString formatSubscriptionEnd(const QString& endTime, const QTimeZone& zone)
{
    const auto when = parseEnd(endTime, zone);
    if (!when)
        return endTime;
    return when->toTimeZone(zone).toString(QStringLiteral("yyyy-MM-dd"));
}

SubscriptionState subscriptionState(const std::optional<QString>& status)
{
    if (!status)
        return SubscriptionState::Unknown;
    const QString lower = status->toLower();
    if (lower == QLatin1String("active"))
        return SubscriptionState::Active;
    if (lower == QLatin1String("expired"))
        return SubscriptionState::Expired;
    if (lower == QLatin1String("inactive"))
        return SubscriptionState::Inactive;
    return SubscriptionState::Unknown;
}

} // namespace velnor::AccountDisplay
