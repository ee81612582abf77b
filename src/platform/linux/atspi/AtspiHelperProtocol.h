#pragma once

#include "platform/AccessibilityBridge.h"

#include <QJsonObject>
#include <QString>

namespace velnor::atspi {

// libatspi attaches the direct connections to applications to GLib's global
// default context, which Qt's GUI thread iterates: used from a worker thread
// in the app, both threads would dispatch the same connections and deadlock.
// So libatspi runs in a helper process of its own, one JSON request per line
// on its standard input, one JSON answer per line on the descriptor that was
// its standard output (the helper points fd 1 at stderr at start, so that
// nothing a library prints can pass for an answer).
//
// Requests: {"seq": n, "op": <name>, "id": <element id>, …}; answers
// {"seq": n, "ok": bool, …}. The client takes only the answer with the seq
// it asked with, so a stray or late line never shifts later answers.
namespace op {
inline const QString Available = QStringLiteral("available");
inline const QString Application = QStringLiteral("application"); // pid, timeoutMs, budgetMs → id
inline const QString Focused = QStringLiteral("focused");         // id → id | error
inline const QString Role = QStringLiteral("role");               // id → value
inline const QString Title = QStringLiteral("title");
inline const QString Value = QStringLiteral("value");
inline const QString SelectedText = QStringLiteral("selectedText");
inline const QString CharacterCount = QStringLiteral("characterCount"); // → value (int)
inline const QString Protected = QStringLiteral("isProtected");         // → value (bool)
inline const QString AttributeNames = QStringLiteral("attributeNames"); // → values
inline const QString Focus = QStringLiteral("isFocused");               // → value (bool)
inline const QString Children = QStringLiteral("children");             // → ids
inline const QString SetSelectedText = QStringLiteral("setSelectedText"); // id, text → result
inline const QString SetValue = QStringLiteral("setValue");               // id, text → result
inline const QString Release = QStringLiteral("release");                 // id
} // namespace op

inline const QString kHelperName = QStringLiteral("velnor-atspi-helper");

// The "result" of a write answer.
inline QString writeResultName(WriteResult result)
{
    switch (result) {
    case WriteResult::Written:
        return QStringLiteral("written");
    case WriteResult::NotWritten:
        return QStringLiteral("notWritten");
    case WriteResult::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

inline WriteResult writeResultFromName(const QString& name)
{
    if (name == QStringLiteral("written"))
        return WriteResult::Written;
    if (name == QStringLiteral("notWritten"))
        return WriteResult::NotWritten;
    return WriteResult::Unknown;
}

} // namespace velnor::atspi
