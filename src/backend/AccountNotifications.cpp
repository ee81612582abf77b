#include "backend/AccountNotifications.h"

namespace velnor {

QString AccountNotifications::nameText(Name name)
{
    switch (name) {
    case Name::LoginSuccess:
        return kLoginSuccessNotification;
    case Name::Logout:
        return kLogoutNotification;
    case Name::NetworkError:
        break;
    }
    return kNetworkErrorNotification;
}

QMetaObject::Connection AccountNotifications::observe(Name name, QObject* context, std::function<void()> handler)
{
    return connect(this, &AccountNotifications::posted, context, [name, handler = std::move(handler)](Name posted) {
        if (posted == name)
            handler();
    });
}

} // namespace velnor
