#pragma once

#include "backend/HttpTransport.h"

#include <QList>

#include <algorithm>
#include <memory>

namespace velnor::test {

// Records requests; the test answers them when it wants, in any order.
class FakeHttpTransport final : public HttpTransport {
public:
    TaskHandlePtr start(HttpRequest request, Completion completion) override
    {
        m_calls.append(Call{std::move(request), std::move(completion)});
        return std::make_shared<Handle>(m_calls.last().cancelled);
    }

    qsizetype count() const { return m_calls.size(); }
    const HttpRequest& request(qsizetype index) const { return m_calls.at(index).request; }
    const HttpRequest& last() const { return m_calls.last().request; }
    bool isCancelled(qsizetype index) const { return *m_calls.at(index).cancelled; }
    bool isAnswered(qsizetype index) const { return m_calls.at(index).answered; }

    // Answers call `index` once; a cancelled call gets no completion.
    void respond(qsizetype index, HttpResponse response)
    {
        Call& call = m_calls[index];
        if (std::exchange(call.answered, true) || *call.cancelled)
            return;
        auto completion = call.completion; // the completion may start new calls
        completion(std::move(response));
    }
    // Answers the last call.
    void respondBody(const QByteArray& body, int status = 200) { respond(m_calls.size() - 1, bodyResponse(body, status)); }
    void respondError(TransportErrorKind kind)
    {
        HttpResponse response;
        response.error = TransportError{kind, 99, QStringLiteral("Connection refused")};
        respond(m_calls.size() - 1, response);
    }

    static HttpResponse bodyResponse(const QByteArray& body, int status = 200)
    {
        HttpResponse response;
        response.statusCode = status;
        if (!body.isEmpty())
            response.body = body;
        return response;
    }
    // The header's value, if the request carries it (names compared case-insensitively).
    static std::optional<QByteArray> header(const HttpRequest& request, const QByteArray& name)
    {
        const auto found = std::find_if(request.headers.cbegin(), request.headers.cend(),
                                        [&](const HttpHeader& h) { return h.first.compare(name, Qt::CaseInsensitive) == 0; });
        return found == request.headers.cend() ? std::nullopt : std::optional(found->second);
    }

private:
    struct Call {
        HttpRequest request;
        Completion completion;
        std::shared_ptr<bool> cancelled = std::make_shared<bool>(false);
        bool answered = false;
    };
    // Outlives the transport safely: it only sets its call's flag.
    struct Handle final : TaskHandle {
        explicit Handle(std::shared_ptr<bool> flag)
            : cancelled(std::move(flag))
        {
        }
        void cancel() override { *cancelled = true; }
        std::shared_ptr<bool> cancelled;
    };

    QList<Call> m_calls;
};

} // namespace velnor::test
