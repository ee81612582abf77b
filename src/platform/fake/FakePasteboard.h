#pragma once

#include "platform/Pasteboard.h"

namespace velnor {

// An in-memory clipboard. A test plays the target application with
// readByTarget(), other programs with takeOver() and a clipboard manager
// with reownByManager().
class FakePasteboard final : public Pasteboard {
public:
    bool isAvailable() const override { return true; }
    void save(Duration budget, SaveCompletion completion) override;
    bool writeText(const QString& text, bool alsoSelection, ReadObserver onRead) override;
    void checkHoldsWrittenText(Duration budget, CheckCompletion completion) override;
    void restore(const PasteboardContents& saved) override;
    PasteChord pasteChordFor(const std::optional<FrontAppInfo>& app) const override;

    // The target application reads the clipboard (as a paste would); the
    // read observer runs while the read is under way, as on X11.
    std::optional<QString> readByTarget();
    // Another program puts its own text on the clipboard.
    void takeOver(const QString& text);
    // A clipboard manager copies the clipboard and owns the copy; later
    // reads are answered by the manager.
    void reownByManager();

    PasteboardContents contents;
    bool refuseWrites = false;
    int refusedWritesLeft = 0; // refuses this many writes, then accepts
    PasteChord chord{{0x3B}, 0x09};
    int restores = 0;
    QStringList written;
    // Saves and budgets asked for; held saves wait for the test to run them.
    QList<Duration> saveBudgets;
    bool holdSaves = false;
    QList<SaveCompletion> heldSaves;
    // Writes and restores made while a read was still being answered.
    int changesDuringRead = 0;

private:
    bool m_ours = false;
    bool m_reading = false;
    PasteboardContents m_written;
    ReadObserver m_onRead;
};

} // namespace velnor
