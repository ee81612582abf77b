#pragma once

#include "recognition/Recognizer.h"
#include "recognition/cloud/CloudSettings.h"

#include <QString>
#include <QUrl>

#include <vector>

namespace velnor::server::cloud {

// The relay's side of the vendor's real-time protocol, without a socket: the
// upstream URL it signs with the server's cloud credentials, and what each
// upstream message means for the client's stream.
class RelayProtocol final {
public:
    static constexpr qint64 kUrlLifetimeSeconds = 60 * 60; // the URL is used at once

    // The signed URL of one stream: `voiceId` is the client's, kept upstream.
    static QUrl signedUrl(const CloudSettings& settings, const QString& voiceId, const RecognitionContext& context,
                          qint64 nowSeconds, quint32 nonce);

    // The events one upstream text message stands for, in order. `ready`: the
    // handshake came already. An unreadable message is a Failed event.
    static std::vector<StreamEvent> read(const QString& message, bool ready);

    // The client's error code for an upstream one: the stream's own errors
    // (audio, pacing, quota, concurrency) keep their code; a refusal of the
    // relay's own URL or credentials, and anything outside the protocol's
    // range, is the server's internal error (0) — the client cannot mend it.
    static int clientCode(qint64 upstreamCode);
};

} // namespace velnor::server::cloud
