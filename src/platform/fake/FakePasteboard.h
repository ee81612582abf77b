#pragma once

#include "platform/Pasteboard.h"

namespace velnor {

// An in-memory clipboard. A test plays the target application with
// readByTarget() and other programs with takeOver().
class FakePasteboard final : public Pasteboard {
public:
    bool isAvailable() const override { return true; }
    PasteboardContents save() override { return contents; }
    bool writeText(const QString& text, bool alsoSelection, ReadObserver onRead) override;
    bool holdsWrittenText() const override { return m_ours && contents == m_written; }
    void restore(const PasteboardContents& saved) override;
    PasteChord pasteChordFor(const std::optional<FrontAppInfo>& app) const override;

    // The target application reads the clipboard (as a paste would).
    std::optional<QString> readByTarget();
    // Another program puts its own text on the clipboard.
    void takeOver(const QString& text);

    PasteboardContents contents;
    bool refuseWrites = false;
    int refusedWritesLeft = 0; // refuses this many writes, then accepts
    PasteChord chord{{0x3B}, 0x09};
    int restores = 0;
    QStringList written;

private:
    bool m_ours = false;
    PasteboardContents m_written;
    ReadObserver m_onRead;
};

} // namespace velnor
