#pragma once

#include "recognition/Recognizer.h"

namespace velnor::server::test {

// A stream event as one comparable line: "ready", "finished", "failed:<error>",
// or "<slice type>/<index>/<start>-<end>:<text>" for a segment.
inline QString describe(const StreamEvent& event)
{
    using Kind = StreamEvent::Kind;
    const StreamSegment& s = event.segment;
    return event.kind == Kind::Ready      ? QStringLiteral("ready")
           : event.kind == Kind::Finished ? QStringLiteral("finished")
           : event.kind == Kind::Failed   ? QStringLiteral("failed:") + event.error
                                          : QStringLiteral("%1/%2/%3-%4:%5").arg(s.sliceType).arg(s.index).arg(s.startMs).arg(s.endMs).arg(s.text);
}

} // namespace velnor::server::test
