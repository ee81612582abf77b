#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace velnor::server {

// What one real-time connection did, for tests and benchmarks. Times are
// milliseconds since the connection was accepted.
struct RealtimeConnectionStats {
    struct Packet {
        qint64 bytes = 0;
        double arrivalMs = 0;
    };

    int id = 0;
    QString voiceId;
    QString hotwordList; // as decoded from the signed URL
    bool accepted = false;
    int rejectCode = 0;
    QString rejectMessage;
    double handshakeMs = -1;
    QList<Packet> packets;
    double endMarkerMs = -1;
    double finalMs = -1;
    int errorCode = 0; // last error code sent (limits and scripts)
    int closeCode = -1;
    QStringList segmentTexts; // slice_type 2 texts in order
    QByteArray audio;         // every audio byte received, in order (capped)

    static constexpr qsizetype kMaxAudioBytes = 32 * 1024 * 1024;

    QJsonObject toJson() const;
};

} // namespace velnor::server
