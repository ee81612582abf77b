#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace velnor {

// The three account notifications, posted without payload on one hub that
// the composition root creates and hands to posters and observers.
class AccountNotifications final : public QObject {
    Q_OBJECT
public:
    enum class Name { LoginSuccess, Logout, NetworkError };

    static inline const QString kLoginSuccessNotification = QStringLiteral("LoginSuccessNotification");
    static inline const QString kLogoutNotification = QStringLiteral("LogoutNotification");
    static inline const QString kNetworkErrorNotification = QStringLiteral("NetworkErrorNotification");

    using QObject::QObject;

    static QString nameText(Name name);

    void post(Name name) { emit posted(name); }
    // Runs `handler` for each later post of `name` while `context` lives.
    QMetaObject::Connection observe(Name name, QObject* context, std::function<void()> handler);

signals:
    void posted(velnor::AccountNotifications::Name name);
};

} // namespace velnor
