#include "log/CallSite.h"

#include <string_view>

namespace velnor {

namespace {

// "void ns::Class::method(int) const" -> "method()"; lambdas report their
// enclosing function ("ns::Class::method()::<lambda()>" -> "method()").
QString bareFunctionName(std::string_view signature)
{
    const auto paren = signature.find('(');
    std::string_view head = signature.substr(0, paren);
    const auto scope = head.rfind("::");
    if (scope != std::string_view::npos)
        head = head.substr(scope + 2);
    const auto space = head.rfind(' ');
    if (space != std::string_view::npos)
        head = head.substr(space + 1);
    return QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size())) + QStringLiteral("()");
}

QString lastPathComponent(std::string_view path)
{
    const auto slash = path.rfind('/');
    if (slash != std::string_view::npos)
        path = path.substr(slash + 1);
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

} // namespace

CallSite CallSite::from(const std::source_location& location)
{
    return CallSite{lastPathComponent(location.file_name()), static_cast<int>(location.line()),
                    bareFunctionName(location.function_name())};
}

} // namespace velnor
