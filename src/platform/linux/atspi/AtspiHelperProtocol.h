#pragma once

#include <QJsonObject>
#include <QString>

namespace velnor::atspi {

// libatspi attaches the direct connections to applications to GLib's global
// default context, which Qt's GUI thread iterates: used from a worker thread
// in the app, both threads would dispatch the same connections and deadlock.
// So libatspi runs in a helper process of its own, one JSON request per line
// on its standard input, one JSON answer per line on its standard output.
//
// Requests: {"op": <name>, "id": <element id>, …}; answers {"ok": bool, …}.
namespace op {
inline const QString Available = QStringLiteral("available");
inline const QString Application = QStringLiteral("application"); // pid, timeoutMs → id
inline const QString Focused = QStringLiteral("focused");         // id → id | error
inline const QString Role = QStringLiteral("role");               // id → value
inline const QString Title = QStringLiteral("title");
inline const QString Value = QStringLiteral("value");
inline const QString SelectedText = QStringLiteral("selectedText");
inline const QString AttributeNames = QStringLiteral("attributeNames"); // → values
inline const QString Focus = QStringLiteral("isFocused");               // → value (bool)
inline const QString Children = QStringLiteral("children");             // → ids
inline const QString SetSelectedText = QStringLiteral("setSelectedText"); // id, text
inline const QString SetValue = QStringLiteral("setValue");               // id, text
inline const QString Release = QStringLiteral("release");                 // id
} // namespace op

inline const QString kHelperName = QStringLiteral("velnor-atspi-helper");

} // namespace velnor::atspi
