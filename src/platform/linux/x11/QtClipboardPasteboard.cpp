#include "platform/linux/x11/QtClipboardPasteboard.h"

#include "platform/linux/x11/X11PasteChord.h"

#include <QClipboard>
#include <QMimeData>

#include <memory>

namespace velnor::x11 {

namespace {

// Tells when another application than the clipboard manager fetches the text.
class WatchedTextMimeData final : public QMimeData {
public:
    WatchedTextMimeData(Pasteboard::ReadObserver onRead, std::weak_ptr<const X11ClipboardRequestors> requestors)
        : m_onRead(std::move(onRead))
        , m_requestors(requestors)
    {
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        const auto requestors = m_requestors.lock();
        if (m_onRead && !(requestors && requestors->currentIsClipboardManager()))
            m_onRead();
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    Pasteboard::ReadObserver m_onRead;
    // Qt may keep this data after the pasteboard is gone.
    const std::weak_ptr<const X11ClipboardRequestors> m_requestors;
};

void restoreMode(QClipboard& clipboard, QClipboard::Mode mode, const QList<PasteboardFormat>& formats)
{
    if (formats.isEmpty()) {
        clipboard.clear(mode);
        return;
    }
    auto data = std::make_unique<QMimeData>();
    for (const auto& format : formats)
        data->setData(format.mimeType, format.data);
    clipboard.setMimeData(data.release(), mode);
}

} // namespace

QtClipboardPasteboard::QtClipboardPasteboard(QClipboard& clipboard)
    : m_clipboard(clipboard)
{
    m_requestors->setAnswersOldRequests([this] { return ownsWrittenText() || ownsWrittenSelection(); });
}

QtClipboardPasteboard::~QtClipboardPasteboard() = default;

void QtClipboardPasteboard::save(Duration budget, SaveCompletion completion)
{
    QList<QByteArray> selections = {"CLIPBOARD"};
    if (m_clipboard.supportsSelection())
        selections.append("PRIMARY");
    m_reader.readAll(selections, budget, [completion = std::move(completion)](QList<SelectionSnapshot> snapshots) {
        PasteboardContents contents;
        contents.clipboard = snapshots.value(0).formats;
        contents.clipboardComplete = snapshots.value(0).complete;
        if (snapshots.size() > 1) {
            contents.selection = snapshots[1].formats;
            contents.selectionComplete = snapshots[1].complete;
        }
        completion(std::move(contents));
    });
}

bool QtClipboardPasteboard::writeText(const QString& text, bool alsoSelection, ReadObserver onRead)
{
    auto makeData = [&] {
        auto data = std::make_unique<WatchedTextMimeData>(onRead, m_requestors);
        data->setText(text);
        return data;
    };
    auto clipboardData = makeData();
    m_writtenText = text;
    m_written = clipboardData.get();
    m_clipboard.setMimeData(clipboardData.release(), QClipboard::Clipboard);
    m_writtenSelection.clear();
    if (alsoSelection && m_clipboard.supportsSelection()) {
        auto selectionData = makeData();
        m_writtenSelection = selectionData.get();
        m_clipboard.setMimeData(selectionData.release(), QClipboard::Selection);
    }
    // The server ignores a selection claim older than the current owner's,
    // and Qt claims with the time of the last event it has seen: a fresh
    // time for a retry. After a claim, the time marks requests older than it.
    m_requestors->probeServerTime();
    return ownsWrittenText();
}

bool QtClipboardPasteboard::ownsWrittenText() const
{
    return m_written && m_clipboard.ownsClipboard() && m_clipboard.mimeData(QClipboard::Clipboard) == m_written;
}

bool QtClipboardPasteboard::ownsWrittenSelection() const
{
    return m_writtenSelection && m_clipboard.ownsSelection()
           && m_clipboard.mimeData(QClipboard::Selection) == m_writtenSelection;
}

void QtClipboardPasteboard::checkHoldsWrittenText(Duration budget, CheckCompletion completion)
{
    if (ownsWrittenText() || m_writtenText.isNull()) {
        completion(ownsWrittenText());
        return;
    }
    // Someone else owns the clipboard now: a clipboard manager that took a
    // copy of our text still holds our text; anyone else holds theirs.
    m_reader.readText("CLIPBOARD", budget,
                      [expected = m_writtenText.toUtf8(), completion = std::move(completion)](
                          std::optional<QByteArray> text) { completion(text == expected); });
}

void QtClipboardPasteboard::restore(const PasteboardContents& contents)
{
    if (contents.clipboardComplete)
        restoreMode(m_clipboard, QClipboard::Clipboard, contents.clipboard);
    // The primary selection is restored separately: the user may have
    // selected something new since, which must stay.
    if (contents.selectionComplete && ownsWrittenSelection())
        restoreMode(m_clipboard, QClipboard::Selection, contents.selection);
    m_writtenText.clear();
    m_written.clear();
    m_writtenSelection.clear();
}

PasteChord QtClipboardPasteboard::pasteChordFor(const std::optional<FrontAppInfo>& app) const
{
    return pasteChordForWindowClass(app && app->bundleId ? *app->bundleId : QString());
}

} // namespace velnor::x11
