#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace velnor::server {

// A test script for the next real-time connection(s): what the server says
// instead of running the decoder, and which faults it plays.
struct RealtimeScript {
    struct Result {
        int afterPackets = 0; // sent once this many audio packets arrived
        qint64 sliceType = 0;
        qint64 index = 0;
        qint64 startTime = 0;
        qint64 endTime = 0;
        QString text;
    };
    struct Error {
        int code = 0;
        QString message;
        int afterPackets = 0;
        bool close = true; // close normally after the error message
    };

    int handshakeDelayMs = 0;
    // Answer the upgrade with this error instead of the handshake.
    std::optional<Error> reject;
    // When either list is present the decoder is not used.
    bool scriptedText = false;
    QList<Result> results;
    QList<Result> finalResults; // sent when the end marker arrives, before "final"
    std::optional<Error> error;
    std::optional<int> abnormalCloseAfterPackets; // close code 1011
    std::optional<int> dropAfterPackets;          // TCP connection aborted
    std::optional<int> maxSessionMs;              // a shorter session length than the server's own
    int count = 1;                                // connections it applies to

    // None (with *error) on a malformed body.
    static std::optional<RealtimeScript> fromJson(const QJsonObject& json, QString* error);
};

} // namespace velnor::server
