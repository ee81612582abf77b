#pragma once

#include "backend/APIClient.h"
#include "backend/HotwordTypes.h"
#include "backend/ServiceErrorMapping.h"

namespace velnor {

// The hot word calls: list, add and delete. Stateless; each call ends in
// exactly one completion on the main thread.
class HotwordService final {
public:
    using ListCompletion = std::function<void(Result<QList<Hotword>, ServiceError>)>;
    using ChangeCompletion = std::function<void(Result<bool, ServiceError>)>;

    HotwordService(APIClient& client, Logger& log);

    TaskHandlePtr getHotwordList(ListCompletion completion);
    TaskHandlePtr addHotword(const QString& text, qint64 weight, ChangeCompletion completion);
    TaskHandlePtr deleteHotword(const QString& text, qint64 weight, ChangeCompletion completion);

    static const ServiceErrorTexts& errorTexts();

private:
    TaskHandlePtr change(const QString& method, const QString& text, qint64 weight, ChangeCompletion completion);

    APIClient& m_client;
    Logger& m_log;
};

} // namespace velnor
