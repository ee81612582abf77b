#pragma once

#include "platform/Pasteboard.h"

#include <QPointer>

class QClipboard;
class QMimeData;

namespace velnor::x11 {

// The X11 clipboard and primary selection through QClipboard (Qt answers
// the other applications' selection requests from the event loop). A read
// of our text is seen when Qt asks our mime data for it.
class QtClipboardPasteboard final : public Pasteboard {
public:
    explicit QtClipboardPasteboard(QClipboard& clipboard);
    ~QtClipboardPasteboard() override;

    bool isAvailable() const override { return true; }
    PasteboardContents save() override;
    bool writeText(const QString& text, bool alsoSelection, ReadObserver onRead) override;
    bool holdsWrittenText() const override;
    void restore(const PasteboardContents& contents) override;
    PasteChord pasteChordFor(const std::optional<FrontAppInfo>& app) const override;

private:
    QClipboard& m_clipboard;
    QPointer<QMimeData> m_written;
    QPointer<QMimeData> m_writtenSelection;
};

// Formats worth saving: the selection protocol's own targets and Qt's
// internal image target are answered by whoever owns the clipboard, not data.
bool isSavedClipboardFormat(const QString& mimeType);

} // namespace velnor::x11
