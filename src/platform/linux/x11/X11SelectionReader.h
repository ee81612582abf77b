#pragma once

#include "core/Scheduler.h"
#include "core/SerialQueue.h"
#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace velnor::x11 {

// What one selection held: every data format its owner delivered, and
// whether that was all it offered.
struct SelectionSnapshot {
    QList<PasteboardFormat> formats;
    bool complete = true;
    bool operator==(const SelectionSnapshot&) const = default;
};

// Reads X11 selections the way any other client does (ConvertSelection,
// INCR for large data), on a worker thread with a connection of its own:
// a slow or hung owner costs the budget and never stalls the GUI thread.
// Results are delivered on the thread that made the reader.
class X11SelectionReader final {
public:
    // An empty display name means $DISPLAY.
    explicit X11SelectionReader(QByteArray displayName = {});
    ~X11SelectionReader();
    X11SelectionReader(const X11SelectionReader&) = delete;
    X11SelectionReader& operator=(const X11SelectionReader&) = delete;

    // Every format of each selection (e.g. "CLIPBOARD", "PRIMARY"), all
    // within one budget; a selection nobody owns is empty and complete.
    void readAll(const QList<QByteArray>& selections, Duration budget,
                 std::function<void(QList<SelectionSnapshot>)> done);
    // The selection's text as UTF-8; none when it has none or it did not
    // come within the budget.
    void readText(const QByteArray& selection, Duration budget,
                  std::function<void(std::optional<QByteArray>)> done);

private:
    void deliver(std::function<void()> result);

    const QByteArray m_displayName;
    // Results hop to the reader's thread through this object's event queue;
    // they are dropped once it is gone.
    std::unique_ptr<QObject> m_context;
    SerialQueue m_worker;
};

// The targets worth saving, each with the format name it is put back under:
// data only, not the selection protocol's own targets; text once, as
// "text/plain" from UTF8_STRING (Qt offers the legacy text targets from it).
QList<std::pair<QByteArray, QString>> savedFormatsOf(const QList<QByteArray>& targets);

} // namespace velnor::x11
