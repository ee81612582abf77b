#pragma once

#include <QByteArray>
#include <QString>

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace velnor::test {

// Base64 of HMAC-SHA1 computed by OpenSSL: the reference our signing code
// (client and server) is checked against.
inline QString opensslSignature(const QByteArray& key, const QByteArray& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.constData(), int(key.size()), reinterpret_cast<const unsigned char*>(text.constData()),
         size_t(text.size()), digest, &length);
    unsigned char encoded[64];
    const int encodedLength = EVP_EncodeBlock(encoded, digest, int(length));
    return QString::fromLatin1(reinterpret_cast<const char*>(encoded), encodedLength);
}

} // namespace velnor::test
