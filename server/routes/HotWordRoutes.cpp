#include "routes/HotWordRoutes.h"

#include "hotwords/HotWordStore.h"
#include "http/ApiRouter.h"
#include "http/Envelope.h"
#include "routes/Authenticator.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace velnor::server {

namespace {

const QString kSignedOut = QStringLiteral("not signed in or the session has expired");

struct HotWordInput {
    QString text;
    int weight = 0;
};

// {"text": string, "weight": integer}; none (with *error) otherwise.
std::optional<HotWordInput> readHotWord(const ApiRequest& request, bool needWeight, QString* error)
{
    const std::optional<QJsonObject> body = request.jsonObject(error);
    if (!body)
        return std::nullopt;
    const QJsonValue text = body->value(QStringLiteral("text"));
    if (!text.isString()) {
        *error = QStringLiteral("\"text\" must be a string");
        return std::nullopt;
    }
    HotWordInput input{text.toString(), 0};
    const QJsonValue weight = body->value(QStringLiteral("weight"));
    if (!needWeight && weight.isUndefined())
        return input;
    const double number = weight.toDouble(std::nan(""));
    if (!weight.isDouble() || number != std::floor(number) || number < -1e9 || number > 1e9) {
        *error = QStringLiteral("\"weight\" must be an integer from %1 to %2")
                     .arg(HotWordStore::kMinWeight)
                     .arg(HotWordStore::kMaxWeight);
        return std::nullopt;
    }
    input.weight = static_cast<int>(number);
    return input;
}

ApiReply statusReply(HotWordStore::Status status)
{
    switch (status) {
    case HotWordStore::Status::Ok:
        return Envelope::success(true);
    case HotWordStore::Status::InvalidText:
        return Envelope::failure(Envelope::BadRequest,
                                 QStringLiteral("a hot word is 1 to %1 characters of text").arg(HotWordStore::kMaxTextLength));
    case HotWordStore::Status::InvalidWeight:
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("\"weight\" must be an integer from %1 to %2")
                                                           .arg(HotWordStore::kMinWeight)
                                                           .arg(HotWordStore::kMaxWeight));
    case HotWordStore::Status::LimitReached:
        return Envelope::failure(Envelope::LimitReached,
                                 QStringLiteral("at most %1 hot words are allowed").arg(HotWordStore::kMaxWords));
    case HotWordStore::Status::NotFound:
        return Envelope::failure(Envelope::NotFound, QStringLiteral("no such hot word"));
    case HotWordStore::Status::StorageError:
        break;
    }
    return Envelope::failure(Envelope::InternalError, QStringLiteral("hot words could not be stored"));
}

} // namespace

HotWordRoutes::HotWordRoutes(ApiRouter& router, HotWordStore& store, const Authenticator& authenticator)
    : m_store(store)
    , m_authenticator(authenticator)
{
    using Method = QHttpServerRequest::Method;
    router.add(Method::Get, QStringLiteral("/qasr/hotwordlist"), [this](const ApiRequest& r) { return list(r); });
    router.add(Method::Post, QStringLiteral("/qasr/hotword"), [this](const ApiRequest& r) { return add(r); });
    router.add(Method::Delete, QStringLiteral("/qasr/hotword"), [this](const ApiRequest& r) { return remove(r); });
}

ApiReply HotWordRoutes::list(const ApiRequest& request)
{
    // Without a (valid) session there are no hot words yet; the list is empty
    // rather than an error the app would report at every start.
    const std::optional<qint64> user = m_authenticator.identify(request).user();
    if (!user)
        return Envelope::success(QJsonArray());
    const std::optional<QList<HotWord>> words = m_store.list(*user);
    if (!words)
        return Envelope::failure(Envelope::InternalError, QStringLiteral("hot words could not be read"));
    QJsonArray array;
    for (const HotWord& word : *words)
        array.append(QJsonObject{{QStringLiteral("text"), word.text}, {QStringLiteral("weight"), word.weight}});
    return Envelope::success(array);
}

ApiReply HotWordRoutes::add(const ApiRequest& request)
{
    const std::optional<qint64> user = m_authenticator.identify(request).user();
    if (!user)
        return Envelope::failure(Envelope::Unauthorized, kSignedOut);
    QString error;
    const std::optional<HotWordInput> input = readHotWord(request, true, &error);
    if (!input)
        return Envelope::failure(Envelope::BadRequest, error);
    return statusReply(m_store.add(*user, input->text, input->weight));
}

ApiReply HotWordRoutes::remove(const ApiRequest& request)
{
    const std::optional<qint64> user = m_authenticator.identify(request).user();
    if (!user)
        return Envelope::failure(Envelope::Unauthorized, kSignedOut);
    QString error;
    // The weight is sent along but a hot word is identified by its text alone.
    const std::optional<HotWordInput> input = readHotWord(request, false, &error);
    if (!input)
        return Envelope::failure(Envelope::BadRequest, error);
    return statusReply(m_store.remove(*user, input->text));
}

} // namespace velnor::server
