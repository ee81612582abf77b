#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

namespace velnor {

// Reads an XML property list: dict → QVariantMap, array → QVariantList,
// string → QString, true/false → bool, integer → qlonglong, real → double,
// data → QByteArray, date → QDateTime. None for malformed input.
std::optional<QVariant> readXmlPlist(const QByteArray& xml);

} // namespace velnor
