#include "http/LogSafety.h"
#include "http/RequestFraming.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

using State = RequestFraming::State;

TEST(RequestFraming, StopsAtTheEndOfEachRequestLikeTheParserAndWhateverTheChunking)
{
    const QByteArray first = "POST /a HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello";
    const QByteArray second = "\r\nGET /b HTTP/1.1\n\n";
    const QByteArray stream = first + second;
    for (const qsizetype step : {qsizetype(1), qsizetype(7), stream.size()}) {
        SCOPED_TRACE(step);
        HttpLimits limits;
        RequestFraming framing(limits);
        qsizetype offset = 0;
        int completed = 0;
        while (offset < stream.size()) {
            const qsizetype used = framing.feed(QByteArrayView(stream).sliced(offset, std::min(step, stream.size() - offset)));
            offset += used;
            if (framing.state() == State::Complete) {
                ++completed;
                EXPECT_EQ(offset, completed == 1 ? first.size() : stream.size());
            } else {
                EXPECT_EQ(used, std::min(step, stream.size() - (offset - used)));
            }
        }
        EXPECT_EQ(completed, 2);
    }
}

TEST(RequestFraming, HandsAWebSocketUpgradeOverAndRefusesWhatTheParserWouldMisread)
{
    HttpLimits limits;
    limits.allowedHosts = QSet<QString>{QStringLiteral("localhost")};
    const struct {
        QByteArray head;
        State state;
        int status;
    } cases[] = {
        {"GET /asr HTTP/1.1\r\nHost: localhost\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n", State::Upgraded, 0},
        {"GET / HTTP/1.1\r\nHost: LocalHost:80\r\nContent-Length: 0\r\n\r\n", State::Complete, 0},
        {"GET / HTTP/1.1\r\nHost: localhost.evil\r\n\r\n", State::Refused, 421},
        {"GET / HTTP/1.1\r\nX: 1\r\n folded: value\r\n\r\n", State::Refused, 400},
        {"GET / HTTP/1.1\r\nBad Name: 1\r\n\r\n", State::Refused, 400},
        {"POST / HTTP/1.1\r\nContent-Length: +5\r\n\r\n", State::Refused, 400},
        {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", State::Refused, 413},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: identity\r\n\r\n", State::Refused, 411},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head.toStdString());
        RequestFraming framing(limits);
        framing.feed(c.head);
        EXPECT_EQ(framing.state(), c.state);
        EXPECT_EQ(framing.refusal().httpStatus, c.status);
    }
}

TEST(LogSafety, EscapesEveryControlCharacter)
{
    EXPECT_EQ(escapeControlCharacters(u"a\nb\r\tc\x1b[2K\u0085\u2028 ok \u4f60"),
              QStringLiteral("a\\nb\\r\\tc\\x1b[2K\\x85\\u2028 ok \u4f60"));
}

} // namespace
} // namespace velnor::server
