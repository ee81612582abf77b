#include "backend/BearerToken.h"

#include <algorithm>

namespace velnor {

bool isHeaderSafeToken(const QString& token)
{
    return std::none_of(token.cbegin(), token.cend(),
                        [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace velnor
