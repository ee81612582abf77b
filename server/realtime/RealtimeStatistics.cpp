#include "realtime/RealtimeStatistics.h"

#include <QCryptographicHash>
#include <QJsonArray>

namespace velnor::server {

QJsonObject RealtimeConnectionStats::toJson() const
{
    QJsonArray packetList;
    for (const Packet& packet : packets)
        packetList.append(QJsonObject{{QStringLiteral("bytes"), packet.bytes}, {QStringLiteral("t_ms"), packet.arrivalMs}});
    qint64 total = 0;
    for (const Packet& packet : packets)
        total += packet.bytes;
    return QJsonObject{
        {QStringLiteral("id"), id},
        {QStringLiteral("voice_id"), voiceId},
        {QStringLiteral("hotword_list"), hotwordList},
        {QStringLiteral("accepted"), accepted},
        {QStringLiteral("reject_code"), rejectCode},
        {QStringLiteral("reject_message"), rejectMessage},
        {QStringLiteral("handshake_ms"), handshakeMs},
        {QStringLiteral("packets"), packetList},
        {QStringLiteral("audio_bytes"), total},
        {QStringLiteral("audio_sha1"),
         QString::fromLatin1(QCryptographicHash::hash(audio, QCryptographicHash::Sha1).toHex())},
        {QStringLiteral("end_marker_ms"), endMarkerMs},
        {QStringLiteral("final_ms"), finalMs},
        {QStringLiteral("error_code"), errorCode},
        {QStringLiteral("close_code"), closeCode},
        {QStringLiteral("segments"), QJsonArray::fromStringList(segmentTexts)},
    };
}

} // namespace velnor::server
