#pragma once

#include "config/IndicatorPositioner.h"
#include "log/ConsoleSink.h"

namespace velnor {

// The simulations have no indicator window; moving it is only reported.
class PrintingPositioner final : public IndicatorPositioner {
public:
    explicit PrintingPositioner(ConsoleSink console)
        : m_console(std::move(console))
    {
    }

    void setPosition(const QString& position) override { m_console(QStringLiteral(">>> indicator moved to ") + position); }

private:
    ConsoleSink m_console;
};

} // namespace velnor
