#include "audio/WavData.h"

#include <QString>
#include <QtEndian>

namespace velnor {

std::optional<WavData> WavData::parse(const QByteArray& bytes, QString* error)
{
    const auto fail = [error](const char* reason) -> std::optional<WavData> {
        if (error)
            *error = QString::fromLatin1(reason);
        return std::nullopt;
    };
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return fail("not a WAVE file");

    WavData wav;
    int formatTag = 0;
    bool haveFormat = false;
    bool haveData = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = qsizetype(qFromLittleEndian<quint32>(bytes.constData() + at + 4));
        const qsizetype body = at + 8;
        if (size > bytes.size() - body)
            return fail("truncated chunk");
        if (id == "fmt " && size >= 16) {
            formatTag = qFromLittleEndian<quint16>(bytes.constData() + body);
            wav.channelCount = qFromLittleEndian<quint16>(bytes.constData() + body + 2);
            wav.sampleRate = int(qFromLittleEndian<quint32>(bytes.constData() + body + 4));
            wav.bitsPerSample = qFromLittleEndian<quint16>(bytes.constData() + body + 14);
            if (formatTag == 0xFFFE && size >= 26) // extensible: the real tag leads the sub-format
                formatTag = qFromLittleEndian<quint16>(bytes.constData() + body + 24);
            haveFormat = true;
        } else if (id == "data") {
            wav.samples = bytes.mid(body, size);
            haveData = true;
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat || !haveData)
        return fail("missing fmt or data chunk");
    wav.isFloat = formatTag == 3;
    const bool supported = (formatTag == 1 && (wav.bitsPerSample == 16 || wav.bitsPerSample == 32))
        || (wav.isFloat && wav.bitsPerSample == 32);
    if (!supported || wav.channelCount <= 0 || wav.sampleRate <= 0)
        return fail("unsupported sample format");
    const int frameBytes = wav.channelCount * wav.bitsPerSample / 8;
    wav.samples.truncate(wav.samples.size() - wav.samples.size() % frameBytes);
    return wav;
}

} // namespace velnor
