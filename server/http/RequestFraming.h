#pragma once

#include "http/HttpLimits.h"

#include <QByteArray>
#include <QByteArrayView>

namespace velnor::server {

// Follows the requests of one connection byte for byte, exactly as far as the
// HTTP server's own parser reads them (one request at a time), so a request can
// be judged by its head before its body is read. Heads the server's parser
// might read differently (folded or repeated framing headers, chunked bodies)
// are refused rather than guessed at.
class RequestFraming final {
public:
    enum class State {
        Idle,       // between requests
        Head,       // request line and headers arriving
        Body,       // the announced body arriving
        Complete,   // a whole request was seen; the next feed() starts the next one
        Upgraded,   // a WebSocket upgrade: no longer HTTP
        Refused,    // see refusal()
    };

    struct Refusal {
        int httpStatus = 0;
        QByteArray message;
    };

    explicit RequestFraming(const HttpLimits& limits);

    // Takes bytes the server's parser has not read yet; stops at the end of a
    // request. Returns how many bytes it took.
    qsizetype feed(QByteArrayView data);

    State state() const { return m_state; }
    const Refusal& refusal() const { return m_refusal; }

private:
    qsizetype feedHead(QByteArrayView data);
    void judgeHead();
    void refuse(int httpStatus, const char* message);

    const HttpLimits& m_limits;
    State m_state = State::Idle;
    QByteArray m_head;
    qsizetype m_requestLineLength = -1;
    qint64 m_bodyLeft = 0;
    Refusal m_refusal;
};

} // namespace velnor::server
