#include "textinput/AccessibilityWorker.h"

#include "log/Logger.h"
#include "textinput/AccessibilityInserter.h"

#include <memory>

namespace velnor {

AccessibilityWorker::AccessibilityWorker(AccessibilityInserter& inserter, Executor background, Executor toMain,
                                         Scheduler& scheduler, Logger& log, Duration budget, Duration writeLimit)
    : m_inserter(inserter)
    , m_background(std::move(background))
    , m_toMain(std::move(toMain))
    , m_scheduler(scheduler)
    , m_log(log)
    , m_budget(budget)
    , m_writeLimit(writeLimit)
{
}

AccessibilityWorker::~AccessibilityWorker() = default;

void AccessibilityWorker::insert(qint32 processId, const QString& appName, const QString& text,
                                 Completion completion)
{
    struct Wait {
        InsertionTicket ticket;
        Completion completion;
        Cancellable budgetTimer;
        bool reported = false; // main thread only
    };
    auto wait = std::make_shared<Wait>();
    wait->completion = std::move(completion);
    const auto guard = m_lifetime.guard();

    auto report = [guard](const std::shared_ptr<Wait>& w, AccessibilityOutcome outcome) {
        if (guard.expired() || w->reported)
            return;
        w->reported = true;
        w->budgetTimer.cancel();
        w->completion(outcome);
    };

    wait->budgetTimer = m_scheduler.after(m_budget, [this, guard, wait, report] {
        if (guard.expired())
            return;
        if (wait->ticket.abandon()) {
            m_log.warning(QStringLiteral("辅助功能响应超时，改用剪贴板方式"));
            report(wait, AccessibilityOutcome::NotInserted);
            return;
        }
        // The write began: its own result decides, unless the target never
        // answers. Then the text may be there already: report it unknown.
        wait->budgetTimer = m_scheduler.after(m_writeLimit, [this, guard, wait, report] {
            if (guard.expired() || wait->reported)
                return;
            m_log.warning(QStringLiteral("辅助功能写入没有回应，结果未知"));
            report(wait, AccessibilityOutcome::Unknown);
        });
    });

    // The work holds what it uses, not this object, which may be gone by then.
    m_background([&inserter = m_inserter, toMain = m_toMain, processId, appName, text, wait, report] {
        const AccessibilityOutcome outcome = inserter.insert(processId, appName, text, wait->ticket);
        toMain([wait, report, outcome] { report(wait, outcome); });
    });
}

} // namespace velnor
