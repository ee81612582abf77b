#pragma once

#include "recognition/Recognizer.h"

#include <QString>

namespace velnor::server::test {

// A stream event as one comparable line: "ready", "finished", "failed:<error>",
// or "<slice type>/<index>/<start>-<end>:<text>" for a segment.
inline QString describe(const StreamEvent& event)
{
    switch (event.kind) {
    case StreamEvent::Kind::Ready:
        return QStringLiteral("ready");
    case StreamEvent::Kind::Finished:
        return QStringLiteral("finished");
    case StreamEvent::Kind::Failed:
        return QStringLiteral("failed:") + event.error;
    case StreamEvent::Kind::Segment:
        break;
    }
    const StreamSegment& s = event.segment;
    return QStringLiteral("%1/%2/%3-%4:%5").arg(s.sliceType).arg(s.index).arg(s.startMs).arg(s.endMs).arg(s.text);
}

} // namespace velnor::server::test
