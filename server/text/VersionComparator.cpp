#include "text/VersionComparator.h"

#include <QRegularExpression>

namespace velnor::server {

std::optional<QList<int>> VersionComparator::parse(const QString& version)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[vV]?([0-9]{1,9}(?:\\.[0-9]{1,9}){0,5})(?:[-+~ ].*)?")));
    const QRegularExpressionMatch match = pattern.match(version.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    QList<int> parts;
    for (const QString& part : match.captured(1).split(QLatin1Char('.')))
        parts << part.toInt();
    return parts;
}

std::optional<int> VersionComparator::compare(const QString& a, const QString& b)
{
    const std::optional<QList<int>> left = parse(a);
    const std::optional<QList<int>> right = parse(b);
    if (!left || !right)
        return std::nullopt;
    for (qsizetype i = 0; i < std::max(left->size(), right->size()); ++i) {
        const int x = i < left->size() ? left->at(i) : 0;
        const int y = i < right->size() ? right->at(i) : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

} // namespace velnor::server
