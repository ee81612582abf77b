#include "textinput/TextInputStack.h"

#include "platform/AccessibilityBridge.h"

namespace velnor {

TextInputStack::TextInputStack(const Workspace& workspace, const AccessibilityTrust& trust,
                               std::unique_ptr<AccessibilityBridge> bridge, Pasteboard& pasteboard,
                               KeySynthesizer& keys, Scheduler& scheduler, Logger& log, Options options)
    : m_bridge(std::move(bridge))
    , m_inserter(*m_bridge, log, options.messagingTimeout)
    , m_worker(m_inserter, m_thread.background(), m_thread.toMain(), scheduler, log, options.accessibilityBudget)
    , m_clipboardTool(pasteboard, keys, scheduler, log)
    , m_manager(workspace, trust, m_worker, m_clipboardTool, log, std::move(options.untrustedNotice))
{
    // Bring the bridge up now (on Linux: start the helper process and join
    // the accessibility bus), so the first dictation does not wait for it.
    m_thread.background()([bridge = m_bridge.get()] { (void)bridge->isAvailable(); });
}

TextInputStack::~TextInputStack()
{
    // The bridge may hold thread-bound resources (the helper's pipe).
    m_thread.runAndWait([this] { m_bridge.reset(); });
}

} // namespace velnor
