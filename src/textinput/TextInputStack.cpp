#include "textinput/TextInputStack.h"

#include "platform/AccessibilityBridge.h"

namespace velnor {

TextInputStack::TextInputStack(const Workspace& workspace, const AccessibilityTrust& trust,
                               std::unique_ptr<AccessibilityBridge> bridge, Pasteboard& pasteboard,
                               KeySynthesizer& keys, Scheduler& scheduler, Logger& log, Options options)
    : m_bridge(std::move(bridge))
    , m_inserter(*m_bridge, log, options.messagingTimeout, options.accessibilityBudget)
    , m_worker(m_inserter, m_thread.background(), m_thread.toMain(), scheduler, log, options.accessibilityBudget,
               options.writeLimit)
    , m_clipboardTool(pasteboard, keys, scheduler, log)
    , m_manager(workspace, trust, m_worker, m_clipboardTool, pasteboard, log, std::move(options.notice))
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
