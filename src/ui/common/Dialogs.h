#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velnor {

// Alerts and confirmations of the screens. Always asynchronous: the answer
// comes back through the callback, never from a nested event loop.
class Dialogs {
public:
    Dialogs() = default;
    virtual ~Dialogs() = default;
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;

    virtual void alert(QWidget* parent, const QString& title, const QString& text) = 0;
    // `onAccept` runs only when the user picks `acceptText`.
    virtual void confirm(QWidget* parent, const QString& title, const QString& text, const QString& cancelText,
                         const QString& acceptText, std::function<void()> onAccept) = 0;
};

} // namespace velnor
