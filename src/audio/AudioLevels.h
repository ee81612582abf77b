#pragma once

#include "platform/AudioFormat.h"

#include <QVector>

namespace velnor {

// Turns captured buffers into the waveform's level values.
namespace AudioLevels {

inline constexpr int MaxLevels = 100;

// One sample magnitude to a level in 0…1: quiet input (below 0.3) is lifted
// by a 0.3 power curve, everything is amplified ×5 and clipped at 1.
float levelFor(float magnitude);

// At most 100 levels decimated from the first channel (every step-th frame,
// step = frames / levels). Empty for an empty or non-float buffer.
QVector<float> reduce(const AudioBuffer& buffer);

// Largest absolute sample over every channel and frame; 0 for an empty or
// non-float buffer.
float peak(const AudioBuffer& buffer);

} // namespace AudioLevels
} // namespace velnor
