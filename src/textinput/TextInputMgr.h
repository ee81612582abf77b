#pragma once

#include "core/Lifetime.h"
#include "textinput/AccessibilityInserter.h"
#include "textinput/TextInput.h"

#include <deque>

namespace velnor {

class AccessibilityTrust;
class AccessibilityWorker;
class ClipboardTool;
class Logger;
class Pasteboard;
class Workspace;

// Why an insertion left the dictation on the clipboard instead of typing it.
enum class TextInputNotice {
    // Synthetic keys are unavailable (no XTest): nothing can paste.
    CannotPaste,
    // The focused field is a password field.
    ProtectedField,
};

// Puts dictated text into the focused field: through the accessibility
// service first, then by clipboard and a synthetic paste, else "unknown".
// Insertions run one at a time in arrival order, so a second paste never
// saves the first dictation as the user's clipboard.
//
// A password field gets nothing typed into it, by any way: the dictation is
// left on the clipboard and the user told, so it is neither lost nor typed
// where it could be a wrong password (or submitted as one).
class TextInputMgr final : public TextInput {
public:
    // `notice` tells the user (non-modally: an alert in the middle of an
    // insertion would take the focus and catch the paste) why a dictation
    // was left on the clipboard; CannotPaste is told once per run.
    TextInputMgr(const Workspace& workspace, const AccessibilityTrust& trust, AccessibilityWorker& accessibility,
                 ClipboardTool& clipboardTool, Pasteboard& pasteboard, Logger& log,
                 std::function<void(TextInputNotice)> notice = {});
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
                              std::function<void(AccessibilityOutcome)> done);
    void inputByClipboard(const QString& text, const std::optional<FrontAppInfo>& app,
                          const InsertionResult& partial, const Completion& completion);
    void leaveOnClipboard(const QString& text, TextInputNotice notice);
    void finish(const Completion& completion, const InsertionResult& result);

    const Workspace& m_workspace;
    const AccessibilityTrust& m_trust;
    AccessibilityWorker& m_accessibility;
    ClipboardTool& m_clipboardTool;
    Pasteboard& m_pasteboard;
    Logger& m_log;
    std::function<void(TextInputNotice)> m_notice;
    bool m_cannotPasteNoticeShown = false;
    std::deque<Request> m_pending;
    bool m_busy = false;
    Lifetime m_lifetime;
};

} // namespace velnor
