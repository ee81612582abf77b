#include "keyboard/KeyboardDevice.h"

namespace velnor {

KeyboardDevice KeyboardDevice::builtIn()
{
    return {QString::fromLatin1(BuiltInId), QStringLiteral("内置键盘"), true, true, 0, 0};
}

KeyboardDevice KeyboardDevice::external(int vendorID, int productID, const QString& name)
{
    return {externalId(vendorID, productID), name, false, true, vendorID, productID};
}

QString KeyboardDevice::externalId(int vendorID, int productID)
{
    return QString::number(vendorID) + QLatin1Char('_') + QString::number(productID);
}

} // namespace velnor
