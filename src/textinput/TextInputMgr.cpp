#include "textinput/TextInputMgr.h"

#include "log/Logger.h"
#include "platform/AccessibilityTrust.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "textinput/AccessibilityWorker.h"
#include "textinput/ClipboardTool.h"

namespace velnor {

namespace {
QString unknownIfMissing(const std::optional<QString>& value)
{
    return value.value_or(QStringLiteral("未知"));
}
} // namespace

TextInputMgr::TextInputMgr(const Workspace& workspace, const AccessibilityTrust& trust,
                           AccessibilityWorker& accessibility, ClipboardTool& clipboardTool, Pasteboard& pasteboard,
                           Logger& log, std::function<void(TextInputNotice)> notice)
    : m_workspace(workspace)
    , m_trust(trust)
    , m_accessibility(accessibility)
    , m_clipboardTool(clipboardTool)
    , m_pasteboard(pasteboard)
    , m_log(log)
    , m_notice(std::move(notice))
{
}

TextInputMgr::~TextInputMgr() = default;

void TextInputMgr::inputTextToFocusedField(const QString& text, Completion completion)
{
    m_pending.push_back({text, std::move(completion)});
    if (!m_busy)
        startNext();
}

std::optional<FrontAppInfo> TextInputMgr::getFrontmostApp()
{
    auto app = m_workspace.frontmostApplication();
    if (!app) {
        m_log.info(QStringLiteral("无法获取前台应用信息"));
        return std::nullopt;
    }
    m_log.info(QStringLiteral("当前前台应用: ") + unknownIfMissing(app->localizedName) + QStringLiteral(", 进程ID: ")
               + QString::number(app->processId) + QStringLiteral(", Bundle ID: ") + unknownIfMissing(app->bundleId));
    return app;
}

bool TextInputMgr::checkAccessibilityPermissions()
{
    const bool trusted = m_trust.isProcessTrusted();
    m_log.info(QStringLiteral("辅助功能权限状态: ") + (trusted ? QStringLiteral("true") : QStringLiteral("false")));
    return trusted;
}

void TextInputMgr::startNext()
{
    if (m_pending.empty()) {
        m_busy = false;
        return;
    }
    m_busy = true;
    const Request request = std::move(m_pending.front());
    m_pending.pop_front();
    insert(request);
}

void TextInputMgr::insert(const Request& request)
{
    const auto app = getFrontmostApp();
    InsertionResult result;
    result.info = infoMap(app);
    // Nothing to insert: a write would only delete the selection or empty the field.
    if (request.text.isEmpty()) {
        m_log.info(QStringLiteral("文本为空，不输入"));
        finish(request.completion, result);
        return;
    }
    inputByAccessibility(
        request.text, app,
        [this, guard = m_lifetime.guard(), request, app, result](AccessibilityOutcome outcome) mutable {
            if (guard.expired())
                return;
            switch (outcome) {
            case AccessibilityOutcome::Inserted:
                m_log.info(QStringLiteral("使用辅助功能API成功输入文字"));
                result.method = TextInputMethod::Accessibility;
                break;
            case AccessibilityOutcome::Unknown:
                // The text may be in the field: a paste could type it twice.
                break;
            case AccessibilityOutcome::ProtectedField:
                leaveOnClipboard(request.text, TextInputNotice::ProtectedField);
                break;
            case AccessibilityOutcome::NotInserted:
                m_log.info(QStringLiteral("尝试使用剪贴板方式"));
                // Pasting needs synthetic keys; the accessibility write did not.
                if (!checkAccessibilityPermissions()) {
                    m_log.info(QStringLiteral("辅助功能权限未启用"));
                    leaveOnClipboard(request.text, TextInputNotice::CannotPaste);
                    break;
                }
                inputByClipboard(request.text, app, result, request.completion);
                return;
            }
            finish(request.completion, result);
        });
}

void TextInputMgr::inputByAccessibility(const QString& text, const std::optional<FrontAppInfo>& app,
                                        std::function<void(AccessibilityOutcome)> done)
{
    if (!app) {
        m_log.info(QStringLiteral("无法获取前台应用"));
        done(AccessibilityOutcome::NotInserted);
        return;
    }
    m_accessibility.insert(app->processId, unknownIfMissing(app->localizedName), text, std::move(done));
}

void TextInputMgr::leaveOnClipboard(const QString& text, TextInputNotice notice)
{
    // Not typed, and not lost: the user can paste it where it belongs.
    if (m_pasteboard.writeText(text, false, {}))
        m_log.info(QStringLiteral("听写的文字未输入，已留在剪贴板上"));
    else
        m_log.info(QStringLiteral("无法设置新文本到剪贴板"));
    const bool once = notice == TextInputNotice::CannotPaste;
    if (!m_notice || (once && m_cannotPasteNoticeShown))
        return;
    m_cannotPasteNoticeShown = m_cannotPasteNoticeShown || once;
    m_notice(notice);
}

void TextInputMgr::inputByClipboard(const QString& text, const std::optional<FrontAppInfo>& app,
                                    const InsertionResult& partial, const Completion& completion)
{
    m_clipboardTool.inputText(text, app,
                              [this, guard = m_lifetime.guard(), partial, completion](bool pasted) {
                                  if (guard.expired())
                                      return;
                                  InsertionResult result = partial;
                                  if (pasted) {
                                      m_log.info(QStringLiteral("使用剪贴板方式成功输入文字"));
                                      result.method = TextInputMethod::Clipboard;
                                  } else {
                                      m_log.info(QStringLiteral("所有输入方法都失败了"));
                                  }
                                  finish(completion, result);
                              });
}

void TextInputMgr::finish(const Completion& completion, const InsertionResult& result)
{
    if (completion)
        completion(result);
    startNext();
}

QMap<QString, QString> TextInputMgr::infoMap(const std::optional<FrontAppInfo>& app)
{
    QMap<QString, QString> info;
    if (!app)
        return info;
    info.insert(QStringLiteral("appName"), unknownIfMissing(app->localizedName));
    info.insert(QStringLiteral("bundleId"), unknownIfMissing(app->bundleId));
    info.insert(QStringLiteral("processId"), QString::number(app->processId));
    return info;
}

} // namespace velnor
