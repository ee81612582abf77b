#pragma once

#include "textinput/TextInput.h"

#include <QStringList>

namespace velnor {

class Workspace;

// "Types" by recording the text; reports the workspace's front application.
// With `deferCompletion`, completions wait for completePending().
class FakeTextInput final : public TextInput {
public:
    explicit FakeTextInput(const Workspace& workspace)
        : m_workspace(workspace)
    {
    }

    void inputTextToFocusedField(const QString& text, Completion completion) override;
    std::optional<FrontAppInfo> getFrontmostApp() override;

    void completePending();

    TextInputMethod method = TextInputMethod::Accessibility;
    bool deferCompletion = false;
    QStringList typed;
    int frontAppQueries = 0;

private:
    InsertionResult resultFor() const;

    const Workspace& m_workspace;
    QList<Completion> m_pending;
};

} // namespace velnor
