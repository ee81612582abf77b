#include "platform/fake/FakePasteboard.h"

#include <algorithm>

namespace velnor {

void FakePasteboard::save(Duration budget, SaveCompletion completion)
{
    saveBudgets.append(budget);
    if (holdSaves)
        heldSaves.append(std::move(completion));
    else
        completion(contents);
}

bool FakePasteboard::writeText(const QString& text, bool alsoSelection, ReadObserver onRead)
{
    if (m_reading)
        ++changesDuringRead;
    if (refuseWrites || refusedWritesLeft > 0) {
        refusedWritesLeft = std::max(0, refusedWritesLeft - 1);
        contents = {};
        return false;
    }
    written << text;
    const PasteboardFormat plain{QStringLiteral("text/plain"), text.toUtf8()};
    contents.clipboard = {plain};
    if (alsoSelection)
        contents.selection = {plain};
    m_written = contents;
    m_ours = true;
    m_onRead = std::move(onRead);
    return true;
}

void FakePasteboard::checkHoldsWrittenText(Duration, CheckCompletion completion)
{
    completion(!m_written.clipboard.isEmpty() && contents.clipboard == m_written.clipboard);
}

void FakePasteboard::restore(const PasteboardContents& saved)
{
    if (m_reading)
        ++changesDuringRead;
    ++restores;
    if (saved.clipboardComplete)
        contents.clipboard = saved.clipboard;
    if (saved.selectionComplete)
        contents.selection = saved.selection;
    contents.clipboardComplete = contents.selectionComplete = true;
    m_ours = false;
    m_written = {};
    m_onRead = nullptr;
}

PasteChord FakePasteboard::pasteChordFor(const std::optional<FrontAppInfo>&) const
{
    return chord;
}

std::optional<QString> FakePasteboard::readByTarget()
{
    if (contents.clipboard.isEmpty())
        return std::nullopt;
    const QString text = QString::fromUtf8(contents.clipboard.first().data);
    if (m_ours && m_onRead) {
        const ReadObserver observer = m_onRead; // a restore drops m_onRead
        m_reading = true;
        observer();
        m_reading = false;
    }
    return text;
}

void FakePasteboard::takeOver(const QString& text)
{
    contents.clipboard = {{QStringLiteral("text/plain"), text.toUtf8()}};
    m_ours = false;
}

void FakePasteboard::reownByManager()
{
    m_ours = false;
}

} // namespace velnor
