#pragma once

#include "backend/HttpTransport.h"

#include <QList>

#include <memory>

namespace velnor::test {

// Records requests; the test answers them when it wants, in any order.
class FakeHttpTransport final : public HttpTransport {
public:
    struct Call {
        HttpRequest request;
        Completion completion;
        std::shared_ptr<bool> cancelled;
        bool answered = false;
    };

    TaskHandlePtr start(HttpRequest request, Completion completion) override;

    qsizetype count() const { return m_calls.size(); }
    const HttpRequest& request(qsizetype index) const { return m_calls.at(index).request; }
    const HttpRequest& last() const { return m_calls.last().request; }
    bool isCancelled(qsizetype index) const { return *m_calls.at(index).cancelled; }
    bool isAnswered(qsizetype index) const { return m_calls.at(index).answered; }

    // Answers call `index` (the last one by default); a cancelled call gets no completion.
    void respond(qsizetype index, HttpResponse response);
    void respondBody(const QByteArray& body, int status = 200) { respond(m_calls.size() - 1, bodyResponse(body, status)); }
    void respondError(TransportErrorKind kind, const QString& description = QStringLiteral("Connection refused"));

    static HttpResponse bodyResponse(const QByteArray& body, int status = 200);
    // The header's value, if the request carries it (names compared case-insensitively).
    static std::optional<QByteArray> header(const HttpRequest& request, const QByteArray& name);

private:
    QList<Call> m_calls;
};

} // namespace velnor::test
