#pragma once

#include "core/Lifetime.h"
#include "textinput/TextInput.h"

#include <deque>

namespace velnor {

class AccessibilityTrust;
class AccessibilityWorker;
class ClipboardTool;
class Logger;
class Workspace;

// Puts dictated text into the focused field: through the accessibility
// service first, then by clipboard and a synthetic paste, else "unknown".
// Insertions run one at a time in arrival order, so a second paste never
// saves the first dictation as the user's clipboard.
class TextInputMgr final : public TextInput {
public:
    // `untrustedNotice` is shown (non-modally) the first time an insertion
    // finds the process untrusted; an alert in the middle of an insertion
    // would take the focus and catch the paste.
    TextInputMgr(const Workspace& workspace, const AccessibilityTrust& trust, AccessibilityWorker& accessibility,
                 ClipboardTool& clipboardTool, Logger& log, std::function<void()> untrustedNotice = {});
    ~TextInputMgr() override;

    void inputTextToFocusedField(const QString& text, Completion completion) override;
    std::optional<FrontAppInfo> getFrontmostApp() override;

    bool checkAccessibilityPermissions();

    // The insertion result's info map of an application (empty for none).
    static QMap<QString, QString> infoMap(const std::optional<FrontAppInfo>& app);

private:
    struct Request {
        QString text;
        Completion completion;
    };

    void startNext();
    void insert(const Request& request);
    void inputByAccessibility(const QString& text, const std::optional<FrontAppInfo>& app,
                              std::function<void(bool)> done);
    void inputByClipboard(const QString& text, const std::optional<FrontAppInfo>& app,
                          const InsertionResult& partial, const Completion& completion);
    void finish(const Completion& completion, const InsertionResult& result);

    const Workspace& m_workspace;
    const AccessibilityTrust& m_trust;
    AccessibilityWorker& m_accessibility;
    ClipboardTool& m_clipboardTool;
    Logger& m_log;
    std::function<void()> m_untrustedNotice;
    bool m_untrustedNoticeShown = false;
    std::deque<Request> m_pending;
    bool m_busy = false;
    Lifetime m_lifetime;
};

} // namespace velnor
