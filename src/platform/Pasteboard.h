#pragma once

#include "core/Scheduler.h"
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
    // False when the owner did not deliver everything it offered in time:
    // putting back the part that was read would lose the rest.
    bool clipboardComplete = true;
    bool selectionComplete = true;
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
    // May run while the clipboard is still answering the reader: it must not
    // change the clipboard itself, only schedule work for a later turn.
    using ReadObserver = std::function<void()>;
    using SaveCompletion = std::function<void(PasteboardContents)>;
    using CheckCompletion = std::function<void(bool)>;

    Pasteboard() = default;
    virtual ~Pasteboard() = default;
    Pasteboard(const Pasteboard&) = delete;
    Pasteboard& operator=(const Pasteboard&) = delete;

    virtual bool isAvailable() const = 0;
    // Reads every format of the clipboard (and primary selection) without
    // blocking the event loop; the completion runs once all is read, at the
    // latest once `budget` has passed, with whatever was read by then.
    virtual void save(Duration budget, SaveCompletion completion) = 0;
    // Puts the text on the clipboard, and on the primary selection too when
    // `alsoSelection` (only then: taking the primary selection makes GTK
    // fields drop their selection, which the paste must replace). `onRead`
    // runs when another application than a clipboard manager reads the
    // text. False when the
    // clipboard refused it.
    virtual bool writeText(const QString& text, bool alsoSelection, ReadObserver onRead) = 0;
    // Whether the clipboard still holds the text of the last writeText(),
    // whoever owns it now (a clipboard manager re-owns it with a copy).
    // The answer comes within `budget` (no answer in time: false).
    virtual void checkHoldsWrittenText(Duration budget, CheckCompletion completion) = 0;
    // Replaces the clipboard with the saved contents (the caller checked that
    // it still holds our text), and the primary selection where it still
    // holds ours; empty contents leave it empty, incomplete ones untouched.
    virtual void restore(const PasteboardContents& contents) = 0;
    // The chord that pastes into this application.
    virtual PasteChord pasteChordFor(const std::optional<FrontAppInfo>& app) const = 0;
};

} // namespace velnor
