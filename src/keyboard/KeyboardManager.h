#pragma once

#include "keyboard/KeyboardDevice.h"

#include <QList>
#include <QObject>
#include <QString>

namespace velnor {

class HIDEventMonitor;
class SettingsStore;
struct KeyboardDeviceInfo;

// The keyboard list shown to the user, the user's choice (persisted), and
// whether a key input came from the chosen keyboard. The list follows the
// keyboards as they are plugged in and out.
class KeyboardManager final : public QObject {
    Q_OBJECT
public:
    KeyboardManager(SettingsStore& settings, HIDEventMonitor& monitor, QObject* parent = nullptr);
    ~KeyboardManager() override;

    const QList<KeyboardDevice>& availableKeyboards() const { return m_availableKeyboards; }
    const QString& selectedKeyboardID() const { return m_selectedKeyboardID; }

    // Rebuilds the list: the built-in entry first, then every usable external
    // keyboard (duplicates kept).
    void refreshKeyboards();
    void selectKeyboard(const QString& keyboardID);

    // The vendor/product pair is the selected keyboard.
    bool isSelectedKeyboard(int vendorID, int productID) const;
    // The keyboard that produced a key input is the selected one. "built_in"
    // also means the machine's internal keyboard, and lets every keyboard
    // through when none is attached (a desktop PC).
    bool isSelectedKeyboard(const KeyboardIdentity& keyboard) const;
    // The selection names an entry of the current list.
    bool isSelectionListed() const;

    static bool isBuiltInAppleKeyboard(int vendorID, int productID);
    // Whether a reported keyboard belongs in the list as an external entry.
    static bool isListableExternal(const KeyboardDeviceInfo& device);

signals:
    void availableKeyboardsChanged();
    void selectedKeyboardIDChanged();

private:
    SettingsStore& m_settings;
    HIDEventMonitor& m_monitor;
    QList<KeyboardDevice> m_availableKeyboards;
    QString m_selectedKeyboardID;
};

} // namespace velnor
