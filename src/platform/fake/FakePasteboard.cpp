#include "platform/fake/FakePasteboard.h"

#include <algorithm>

namespace velnor {

bool FakePasteboard::writeText(const QString& text, bool alsoSelection, ReadObserver onRead)
{
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

void FakePasteboard::restore(const PasteboardContents& saved)
{
    ++restores;
    contents = saved;
    m_ours = false;
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
        const ReadObserver observer = m_onRead; // it may restore, which drops m_onRead
        observer();
    }
    return text;
}

void FakePasteboard::takeOver(const QString& text)
{
    contents.clipboard = {{QStringLiteral("text/plain"), text.toUtf8()}};
    m_ours = false;
}

} // namespace velnor
