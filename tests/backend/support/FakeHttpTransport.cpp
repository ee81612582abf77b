#include "backend/support/FakeHttpTransport.h"

namespace velnor::test {

namespace {
class FakeHandle final : public TaskHandle {
public:
    explicit FakeHandle(std::shared_ptr<bool> cancelled)
        : m_cancelled(std::move(cancelled))
    {
    }
    void cancel() override { *m_cancelled = true; }

private:
    std::shared_ptr<bool> m_cancelled;
};
} // namespace

TaskHandlePtr FakeHttpTransport::start(HttpRequest request, Completion completion)
{
    auto cancelled = std::make_shared<bool>(false);
    m_calls.append(Call{std::move(request), std::move(completion), cancelled, false});
    return std::make_shared<FakeHandle>(cancelled);
}

void FakeHttpTransport::respond(qsizetype index, HttpResponse response)
{
    Call& call = m_calls[index];
    if (call.answered || *call.cancelled)
        return;
    call.answered = true;
    auto completion = call.completion; // the completion may start new calls
    completion(std::move(response));
}

void FakeHttpTransport::respondError(TransportErrorKind kind, const QString& description)
{
    HttpResponse response;
    response.error = TransportError{kind, 99, description};
    respond(m_calls.size() - 1, response);
}

HttpResponse FakeHttpTransport::bodyResponse(const QByteArray& body, int status)
{
    HttpResponse response;
    response.statusCode = status;
    if (!body.isEmpty())
        response.body = body;
    return response;
}

std::optional<QByteArray> FakeHttpTransport::header(const HttpRequest& request, const QByteArray& name)
{
    for (const HttpHeader& h : request.headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return std::nullopt;
}

} // namespace velnor::test
