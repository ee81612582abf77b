#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace velnor::server {

// Dotted release versions ("1.2", "v1.10.3", "2.0.0-beta"): compared by their
// numeric parts, missing parts counting as 0; a suffix after the numbers is
// ignored.
class VersionComparator final {
public:
    static std::optional<QList<int>> parse(const QString& version);
    // <0, 0, >0 like strcmp; none when either side is not a version.
    static std::optional<int> compare(const QString& a, const QString& b);
};

} // namespace velnor::server
