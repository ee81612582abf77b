#include "http/MultipartParser.h"

namespace velnor::server {

namespace {

template<typename T>
std::optional<T> failure(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return std::nullopt;
}

// Splits `a=1; b="x;y"` into parameters, honouring quotes and backslash escapes.
QList<QPair<QByteArray, QByteArray>> parameters(const QByteArray& text)
{
    QList<QPair<QByteArray, QByteArray>> result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && (text[i] == ';' || text[i] == ' ' || text[i] == '\t'))
            ++i;
        const qsizetype nameStart = i;
        while (i < n && text[i] != '=' && text[i] != ';')
            ++i;
        const QByteArray name = text.mid(nameStart, i - nameStart).trimmed().toLower();
        QByteArray value;
        if (i < n && text[i] == '=') {
            ++i;
            while (i < n && (text[i] == ' ' || text[i] == '\t'))
                ++i;
            if (i < n && text[i] == '"') {
                ++i;
                while (i < n && text[i] != '"') {
                    if (text[i] == '\\' && i + 1 < n)
                        ++i;
                    value += text[i++];
                }
                ++i;   // closing quote
                while (i < n && text[i] != ';')
                    ++i;
            } else {
                const qsizetype valueStart = i;
                while (i < n && text[i] != ';')
                    ++i;
                value = text.mid(valueStart, i - valueStart).trimmed();
            }
        }
        if (!name.isEmpty())
            result.append({name, value});
    }
    return result;
}

bool parseHeaders(const QByteArray& block, MultipartPart& part, QString* error)
{
    bool hasDisposition = false;
    for (const QByteArray& line : block.split('\n')) {
        const QByteArray header = line.endsWith('\r') ? line.chopped(1) : line;
        if (header.isEmpty())
            continue;
        const qsizetype colon = header.indexOf(':');
        if (colon <= 0) {
            if (error)
                *error = QStringLiteral("malformed part header");
            return false;
        }
        const QByteArray name = header.left(colon).trimmed().toLower();
        const QByteArray value = header.mid(colon + 1).trimmed();
        if (name == "content-disposition") {
            const qsizetype semicolon = value.indexOf(';');
            if (value.left(semicolon < 0 ? value.size() : semicolon).trimmed().toLower() != "form-data") {
                if (error)
                    *error = QStringLiteral("part is not form-data");
                return false;
            }
            hasDisposition = true;
            for (const auto& [key, parameterValue] : parameters(semicolon < 0 ? QByteArray() : value.mid(semicolon + 1))) {
                if (key == "name")
                    part.name = parameterValue;
                else if (key == "filename")
                    part.fileName = parameterValue;
            }
        } else if (name == "content-type") {
            part.contentType = value;
        }
    }
    if (!hasDisposition || part.name.isEmpty()) {
        if (error)
            *error = QStringLiteral("part without a form-data name");
        return false;
    }
    return true;
}

} // namespace

const MultipartPart* MultipartForm::part(const QByteArray& name) const
{
    for (const MultipartPart& candidate : parts) {
        if (candidate.name == name)
            return &candidate;
    }
    return nullptr;
}

std::optional<QByteArray> MultipartParser::boundary(const QByteArray& contentType, QString* error)
{
    const qsizetype semicolon = contentType.indexOf(';');
    const QByteArray mediaType = contentType.left(semicolon < 0 ? contentType.size() : semicolon).trimmed().toLower();
    if (mediaType != "multipart/form-data")
        return failure<QByteArray>(error, QStringLiteral("expected a multipart/form-data body"));
    for (const auto& [key, value] : parameters(semicolon < 0 ? QByteArray() : contentType.mid(semicolon + 1))) {
        if (key != "boundary")
            continue;
        if (value.isEmpty() || value.size() > 200 || value.contains('\r') || value.contains('\n'))
            return failure<QByteArray>(error, QStringLiteral("invalid multipart boundary"));
        return value;
    }
    return failure<QByteArray>(error, QStringLiteral("multipart content type without a boundary"));
}

std::optional<MultipartForm> MultipartParser::parse(const QByteArray& contentType, const QByteArray& body,
                                                    QString* error)
{
    const std::optional<QByteArray> boundaryText = boundary(contentType, error);
    if (!boundaryText)
        return std::nullopt;
    const QByteArray delimiter = "--" + *boundaryText;
    const QByteArray nextDelimiter = "\r\n" + delimiter;

    qsizetype position = 0;
    if (!body.startsWith(delimiter)) {
        const qsizetype first = body.indexOf(nextDelimiter);
        if (first < 0)
            return failure<MultipartForm>(error, QStringLiteral("multipart body does not contain its boundary"));
        position = first + 2;
    }

    MultipartForm form;
    for (;;) {
        position += delimiter.size();
        if (body.mid(position, 2) == "--")
            return form;   // closing delimiter; an epilogue is ignored
        while (position < body.size() && (body[position] == ' ' || body[position] == '\t'))
            ++position;
        if (body.mid(position, 2) != "\r\n")
            return failure<MultipartForm>(error, QStringLiteral("malformed multipart boundary line"));
        position += 2;
        if (form.parts.size() >= kMaxParts)
            return failure<MultipartForm>(error, QStringLiteral("too many multipart parts"));

        // Headers end at an empty line (which may be the very first line).
        qsizetype contentStart;
        QByteArray headerBlock;
        if (body.mid(position, 2) == "\r\n") {
            contentStart = position + 2;
        } else {
            const qsizetype headerEnd = body.indexOf("\r\n\r\n", position);
            if (headerEnd < 0 || headerEnd - position > kMaxHeaderBytes)
                return failure<MultipartForm>(error, QStringLiteral("malformed multipart part headers"));
            headerBlock = body.mid(position, headerEnd - position);
            contentStart = headerEnd + 4;
        }
        MultipartPart part;
        if (!parseHeaders(headerBlock, part, error))
            return std::nullopt;

        const qsizetype contentEnd = body.indexOf(nextDelimiter, contentStart);
        if (contentEnd < 0)
            return failure<MultipartForm>(error, QStringLiteral("multipart body has no closing boundary"));
        part.data = body.mid(contentStart, contentEnd - contentStart);
        form.parts.append(std::move(part));
        position = contentEnd + 2;
    }
}

} // namespace velnor::server
