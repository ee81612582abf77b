#include "backend/DecodingError.h"

namespace velnor {

QString DecodingError::description() const
{
    if (kind == Kind::KeyNotFound || kind == Kind::ValueNotFound)
        return QStringLiteral("The data couldn't be read because it is missing.");
    return QStringLiteral("The data couldn't be read because it isn't in the correct format.");
}

QString DecodingError::printed() const
{
    QString name;
    switch (kind) {
    case Kind::DataCorrupted:
        name = QStringLiteral("dataCorrupted");
        break;
    case Kind::KeyNotFound:
        name = QStringLiteral("keyNotFound");
        break;
    case Kind::ValueNotFound:
        name = QStringLiteral("valueNotFound");
        break;
    case Kind::TypeMismatch:
        name = QStringLiteral("typeMismatch");
        break;
    }
    return name + QStringLiteral("(codingPath: \"") + path + QStringLiteral("\", debugDescription: \"")
        + debugDescription + QStringLiteral("\")");
}

} // namespace velnor
