#include "http/RequestFraming.h"

#include <QList>

#include <algorithm>

namespace velnor::server {

namespace {

// The server's parser limits (beyond them it silently keeps a partial header list).
constexpr int kMaxHeaderFields = 100;
constexpr qsizetype kMaxHeaderLine = 8 * 1024;

bool isLeadingWhitespace(char c)
{
    return c == '\v' || c == '\n' || c == '\r' || c == ' ' || c == '\t';
}

bool isTokenCharacter(char c)
{
    static constexpr QByteArrayView others("!#$%&'*+-.^_`|~");
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || others.contains(c);
}

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "localhost:18470" -> "localhost", "[::1]:80" -> "[::1]"; lower case.
QString hostName(const QByteArray& hostHeader)
{
    QByteArray host = hostHeader.toLower();
    const qsizetype colon = host.lastIndexOf(':');
    if (colon >= 0 && colon > host.lastIndexOf(']') && isDigits(QByteArrayView(host).sliced(colon + 1)))
        host.truncate(colon);
    return QString::fromLatin1(host);
}

struct HeadFields {
    QList<QByteArray> contentLengths;
    QList<QByteArray> hosts;
    bool transferEncoding = false;
    QByteArray connection;   // all Connection headers, as the parser combines them
    QList<QByteArray> upgrades;
};

} // namespace

RequestFraming::RequestFraming(const HttpLimits& limits)
    : m_limits(limits)
{
}

qsizetype RequestFraming::feed(QByteArrayView data)
{
    if (m_state == State::Complete)
        m_state = State::Idle;
    qsizetype used = 0;
    while (used < data.size()) {
        switch (m_state) {
        case State::Idle:
            if (isLeadingWhitespace(data[used])) {   // the parser skips these before a request line
                ++used;
                continue;
            }
            m_state = State::Head;
            m_head.clear();
            m_requestLineLength = -1;
            break;
        case State::Head:
            used += feedHead(data.sliced(used));
            break;
        case State::Body: {
            const qint64 taken = std::min<qint64>(m_bodyLeft, data.size() - used);
            used += taken;
            m_bodyLeft -= taken;
            if (m_bodyLeft == 0)
                m_state = State::Complete;
            break;
        }
        case State::Complete:
        case State::Upgraded:
        case State::Refused:
            return used;
        }
    }
    return used;
}

qsizetype RequestFraming::feedHead(QByteArrayView data)
{
    qsizetype used = 0;
    while (used < data.size() && m_state == State::Head) {
        const char c = data[used++];
        m_head.append(c);
        if (m_head.size() > m_limits.maxHeadBytes) {
            refuse(431, "request headers are too large");
        } else if (c == '\n') {
            if (m_requestLineLength < 0)
                m_requestLineLength = m_head.size();
            else if (m_head.endsWith("\n\r\n") || m_head.endsWith("\n\n"))
                judgeHead();
        }
    }
    return used;
}

void RequestFraming::judgeHead()
{
    HeadFields fields;
    const QList<QByteArray> lines = m_head.sliced(m_requestLineLength).split('\n');
    int count = 0;
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        const QByteArrayView name = colon > 0 ? QByteArrayView(line).first(colon) : QByteArrayView();
        if (name.isEmpty() || !std::all_of(name.begin(), name.end(), isTokenCharacter))
            return refuse(400, "malformed request header");
        if (++count > kMaxHeaderFields || line.size() > kMaxHeaderLine)
            return refuse(431, "request headers are too large");
        const QByteArray key = name.toByteArray().toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed();
        if (key == "content-length")
            fields.contentLengths.append(value);
        else if (key == "host")
            fields.hosts.append(value);
        else if (key == "transfer-encoding")
            fields.transferEncoding = true;
        else if (key == "connection")
            fields.connection += value.toLower() + ',';
        else if (key == "upgrade")
            fields.upgrades.append(value.toLower());
    }

    if (fields.transferEncoding)
        return refuse(411, "chunked request bodies are not accepted; send Content-Length");
    if (fields.contentLengths.size() > 1 || fields.hosts.size() > 1 || fields.upgrades.size() > 1)
        return refuse(400, "repeated Content-Length, Host or Upgrade header");
    qint64 length = 0;
    if (!fields.contentLengths.isEmpty()) {
        const QByteArray& text = fields.contentLengths.first();
        if (!isDigits(text))
            return refuse(400, "malformed Content-Length");
        bool ok = false;
        length = text.toLongLong(&ok);
        if (!ok || length > m_limits.maxBodyBytes)
            return refuse(413, "request body is larger than the upload limit");
    }
    if (m_limits.allowedHosts && !fields.hosts.isEmpty()
        && !m_limits.allowedHosts->contains(hostName(fields.hosts.first())))
        return refuse(421, "this server does not answer for that Host name");

    const bool upgrade = fields.connection.contains("upgrade") && fields.upgrades.value(0) == "websocket";
    if (upgrade && length > 0)
        return refuse(400, "an upgrade request carries no body");
    m_head.clear();
    m_bodyLeft = length;
    m_state = upgrade ? State::Upgraded : length > 0 ? State::Body : State::Complete;
}

void RequestFraming::refuse(int httpStatus, const char* message)
{
    m_state = State::Refused;
    m_refusal = {httpStatus, QByteArray(message)};
    m_head.clear();
}

} // namespace velnor::server
