#pragma once

#include "platform/FrontAppInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace velnor {

// Everything a clipboard held, format by format, so it can be put back exactly.
struct PasteboardFormat {
    QString mimeType;
    QByteArray data;
    bool operator==(const PasteboardFormat&) const = default;
};

struct PasteboardContents {
    QList<PasteboardFormat> clipboard;
    // The X11 primary selection; stays empty where the platform has none.
    QList<PasteboardFormat> selection;
    bool operator==(const PasteboardContents&) const = default;
};

// The key chord that pastes in an application: virtual keys of the modifiers
// held (in press order) and the key pressed.
struct PasteChord {
    QList<int> modifiers;
    int key = 0;
    // Whether the chord pastes the X11 primary selection (xterm's Shift+Insert).
    bool pastesSelection = false;
    bool operator==(const PasteChord&) const = default;
};

// The system clipboard. Main thread only; the event loop must keep running
// while other applications read what was written.
class Pasteboard {
public:
    using ReadObserver = std::function<void()>;

    Pasteboard() = default;
    virtual ~Pasteboard() = default;
    Pasteboard(const Pasteboard&) = delete;
    Pasteboard& operator=(const Pasteboard&) = delete;

    virtual bool isAvailable() const = 0;
    virtual PasteboardContents save() = 0;
    // Puts the text on the clipboard, and on the primary selection too when
    // `alsoSelection` (only then: taking the primary selection makes GTK
    // fields drop their selection, which the paste must replace). `onRead`
    // runs once another application has read the text. False when the
    // clipboard refused it.
    virtual bool writeText(const QString& text, bool alsoSelection, ReadObserver onRead) = 0;
    // Whether the clipboard still holds the text of the last writeText().
    virtual bool holdsWrittenText() const = 0;
    // Replaces the clipboard with the saved contents; empty contents leave it empty.
    virtual void restore(const PasteboardContents& contents) = 0;
    // The chord that pastes into this application.
    virtual PasteChord pasteChordFor(const std::optional<FrontAppInfo>& app) const = 0;
};

} // namespace velnor
