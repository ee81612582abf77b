#pragma once

#include "platform/Pasteboard.h"
#include "platform/linux/x11/X11ClipboardRequestors.h"
#include "platform/linux/x11/X11SelectionReader.h"

#include <QPointer>

#include <memory>

class QClipboard;
class QMimeData;

namespace velnor::x11 {

// The X11 clipboard and primary selection: written through QClipboard (Qt
// answers the other applications' selection requests from the event loop),
// read like any other client does, off the GUI thread. A read of our text is
// seen when Qt asks our mime data for it.
//
// After a restore this process owns the user's clipboard (X11 has no way to
// hand a selection back: its first owner dropped the data when it lost it).
// At exit Qt offers what we own to a running clipboard manager (SAVE_TARGETS
// to the CLIPBOARD_MANAGER owner); without a manager the contents end with
// this process, as they do when any X11 application that owns them quits.
class QtClipboardPasteboard final : public Pasteboard {
public:
    explicit QtClipboardPasteboard(QClipboard& clipboard);
    ~QtClipboardPasteboard() override;

    bool isAvailable() const override { return true; }
    void save(Duration budget, SaveCompletion completion) override;
    bool writeText(const QString& text, bool alsoSelection, ReadObserver onRead) override;
    void checkHoldsWrittenText(Duration budget, CheckCompletion completion) override;
    void restore(const PasteboardContents& contents) override;
    PasteChord pasteChordFor(const std::optional<FrontAppInfo>& app) const override;

private:
    bool ownsWrittenText() const;
    bool ownsWrittenSelection() const;

    QClipboard& m_clipboard;
    X11SelectionReader m_reader;
    std::shared_ptr<X11ClipboardRequestors> m_requestors = std::make_shared<X11ClipboardRequestors>();
    QString m_writtenText;
    QPointer<QMimeData> m_written;
    QPointer<QMimeData> m_writtenSelection;
};

} // namespace velnor::x11
