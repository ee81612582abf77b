#pragma once

#include <QList>
#include <QString>

namespace velnor {

// A stored setting value and the text a picker shows for it.
struct Choice {
    QString value;
    QString title;
    bool operator==(const Choice&) const = default;
};

// The option lists the settings screen and the onboarding show. Pure data.
namespace SettingChoices {

// The six indicator positions, in picker order.
const QList<Choice>& indicatorPositions();
// The title of a stored position; an unknown one reads as "bottom_center".
QString indicatorPositionTitle(const QString& value);

// The four hotkeys the settings picker offers. A stored value outside them
// (the tray's "fn") is added as its own entry so that showing the screen never
// changes it.
QList<Choice> hotkeyOptions(const QString& stored);
// The short name of the hotkey on the last onboarding page.
QString hotkeyDisplayName(const QString& stored);
// X11 never reports the Fn key; right Control stands in for it.
QString hotkeyLinuxNote();

// The Enter variants pressed after "over over".
const QList<Choice>& overOverKeyTypes();

} // namespace SettingChoices
} // namespace velnor
