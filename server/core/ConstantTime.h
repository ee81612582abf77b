#pragma once

#include <QByteArray>

namespace velnor::server {

// Compares without an early exit, so the time taken says nothing about where
// a forged signature first differs.
inline bool equalInConstantTime(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace velnor::server
