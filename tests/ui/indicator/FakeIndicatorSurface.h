#pragma once

#include "ui/indicator/IndicatorScene.h"
#include "ui/indicator/IndicatorSurface.h"

namespace velnor::test {

// Records what the controller asks of its window.
class FakeIndicatorSurface final : public IndicatorSurface {
public:
    QRect frame() const override { return m_frame; }
    void setFrame(const QRect& frame) override { m_frame = frame; }
    void present(const IndicatorScene& scene) override
    {
        lastScene = scene;
        ++presents;
    }
    void bringToFront(bool forced) override { (forced ? forcedRaises : raises) += 1; }
    bool isComposited() const override { return composited; }

    QRect m_frame;
    IndicatorScene lastScene;
    int presents = 0;
    int raises = 0;
    int forcedRaises = 0;
    bool composited = true;
};

} // namespace velnor::test
