#pragma once

#include <QString>

namespace velnor {

// Moves the floating indicator to one of the named screen positions
// ("top_left" … "bottom_right").
class IndicatorPositioner {
public:
    IndicatorPositioner() = default;
    virtual ~IndicatorPositioner() = default;
    IndicatorPositioner(const IndicatorPositioner&) = delete;
    IndicatorPositioner& operator=(const IndicatorPositioner&) = delete;

    virtual void setPosition(const QString& position) = 0;
};

} // namespace velnor
