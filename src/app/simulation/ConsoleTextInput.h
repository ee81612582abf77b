#pragma once

#include "log/ConsoleSink.h"
#include "textinput/TextInput.h"

#include <QStringList>

namespace velnor {

class Workspace;

// Prints what would be typed into the focused field and keeps it.
class ConsoleTextInput final : public TextInput {
public:
    ConsoleTextInput(const Workspace& workspace, ConsoleSink console);

    void inputTextToFocusedField(const QString& text, Completion completion) override;
    std::optional<FrontAppInfo> getFrontmostApp() override;

    const QStringList& delivered() const { return m_delivered; }

private:
    const Workspace& m_workspace;
    ConsoleSink m_console;
    QStringList m_delivered;
};

} // namespace velnor
