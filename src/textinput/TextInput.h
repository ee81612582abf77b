#pragma once

#include "platform/FrontAppInfo.h"

#include <QMap>
#include <QString>

#include <functional>
#include <optional>

namespace velnor {

enum class TextInputMethod { Accessibility, Clipboard, InputMethod, Unknown };

// "accessibility", "clipboard", "input_method" or "unknown", as sent to the
// backend.
inline QString textInputMethodName(TextInputMethod method)
{
    switch (method) {
    case TextInputMethod::Accessibility:
        return QStringLiteral("accessibility");
    case TextInputMethod::Clipboard:
        return QStringLiteral("clipboard");
    case TextInputMethod::InputMethod:
        return QStringLiteral("input_method");
    case TextInputMethod::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

// What an insertion did: the front application's info map ("appName",
// "bundleId", "processId"; empty without a front application) and the method.
struct InsertionResult {
    QMap<QString, QString> info;
    TextInputMethod method = TextInputMethod::Unknown;
};

// Puts text into the focused field of the frontmost application.
class TextInput {
public:
    using Completion = std::function<void(const InsertionResult& result)>;

    TextInput() = default;
    virtual ~TextInput() = default;
    TextInput(const TextInput&) = delete;
    TextInput& operator=(const TextInput&) = delete;

    // Asynchronous: a paste must let the event loop answer the target's
    // clipboard requests. The completion runs on the main thread.
    virtual void inputTextToFocusedField(const QString& text, Completion completion) = 0;
    // Logs the application it found (or that there is none).
    virtual std::optional<FrontAppInfo> getFrontmostApp() = 0;
};

} // namespace velnor
