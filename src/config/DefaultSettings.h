#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace velnor {

class IndicatorPositioner;
class Scheduler;
class SettingsStore;

// The registered defaults, in registration order.
const QList<std::pair<QString, QString>>& registeredDefaults();

// Writes each registered default whose key holds no value yet; never
// overwrites. When the indicator position had to be registered, the indicator
// is moved to "bottom_center" half a second later.
class DefaultSettingsRegistrar final {
public:
    DefaultSettingsRegistrar(SettingsStore& store, Scheduler& scheduler, IndicatorPositioner& positioner);

    void registerDefaults();

private:
    SettingsStore& m_store;
    Scheduler& m_scheduler;
    IndicatorPositioner& m_positioner;
};

} // namespace velnor
