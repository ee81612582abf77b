// libFuzzer target for the server's multipart parser (built by scripts/fuzz-server.sh).
// Input: a boundary (up to the first newline, at most 80 bytes) and then the body.
#include "http/MultipartParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype newline = input.indexOf('\n');
    const QByteArray boundary = newline < 0 ? QByteArray("B") : input.left(std::min<qsizetype>(newline, 80));
    const QByteArray body = newline < 0 ? input : input.mid(newline + 1);
    const QByteArray contentType = "multipart/form-data; boundary=\"" + boundary + "\"";

    QString error;
    const auto form = velnor::server::MultipartParser::parse(contentType, body, &error);
    if (!form) {
        if (error.isEmpty())
            std::abort();   // every refusal carries a reason
        return 0;
    }
    qsizetype total = 0;
    for (const velnor::server::MultipartPart& part : form->parts) {
        if (part.name.isEmpty())
            std::abort();   // unnamed parts are refused
        total += part.data.size();
    }
    if (total > body.size() || form->parts.size() > velnor::server::MultipartParser::kMaxParts)
        std::abort();
    return 0;
}
