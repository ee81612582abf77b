#pragma once

#include <QString>

namespace velnor {

// Live partial text in the focused field: shown underlined, not yet part of
// the field's text, replaced by each newer partial and gone once cleared or
// once the final text is committed. Where the desktop offers no such thing,
// nothing is shown.
class PreeditSink {
public:
    PreeditSink() = default;
    virtual ~PreeditSink() = default;
    PreeditSink(const PreeditSink&) = delete;
    PreeditSink& operator=(const PreeditSink&) = delete;

    virtual void showPreedit(const QString& text) = 0;
    virtual void clearPreedit() = 0;
};

} // namespace velnor
