#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace velnor::server {

struct MultipartPart {
    QByteArray name;
    QByteArray fileName;      // empty when the part is not a file
    QByteArray contentType;   // empty when not given
    QByteArray data;
};

struct MultipartForm {
    QList<MultipartPart> parts;

    // The first part called `name`, or null.
    const MultipartPart* part(const QByteArray& name) const;
};

// A multipart/form-data body. Content is taken byte for byte up to the next
// CR LF "--" boundary, so binary data holding CR LF "--" (without the
// boundary) passes through untouched.
class MultipartParser final {
public:
    static constexpr int kMaxParts = 64;
    static constexpr int kMaxHeaderBytes = 8 * 1024;

    // The boundary of a Content-Type header value (it may be quoted); none with *error.
    static std::optional<QByteArray> boundary(const QByteArray& contentType, QString* error);
    static std::optional<MultipartForm> parse(const QByteArray& contentType, const QByteArray& body, QString* error);
};

} // namespace velnor::server
