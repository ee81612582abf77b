#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace velnor::portal {

// One entry of the GlobalShortcuts portal's a(sa{sv}) lists: an id and its
// properties ("description", "preferred_trigger", "trigger_description").
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
using PortalShortcutList = QList<PortalShortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

// Makes the type known to QtDBus; safe to call more than once.
void registerPortalShortcutTypes();

// The list in a reply's "shortcuts" entry (empty when absent or malformed).
PortalShortcutList shortcutsOf(const QVariantMap& results);

} // namespace velnor::portal

Q_DECLARE_METATYPE(velnor::portal::PortalShortcut)
