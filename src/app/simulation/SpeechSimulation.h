#pragma once

#include <QString>

namespace velnor {

// Runs the real dictation controller with the real backend client, the real
// real-time recognition client, the real recorder and AAC writer against the
// configured backend (a local velnor-server by default). The microphone is a
// WAV file of speech played in real time; typing is printed. One traditional
// and one real-time dictation. Returns the process exit code.
int runSpeechSimulation(const QString& speechWavPath);

} // namespace velnor
