#pragma once

namespace velnor::server {

// The longest recording the app makes: its settings offer at most 50 s, and a
// stored value it cannot read also means 50 s. Anything much longer is not
// dictation, so the server neither decodes nor streams it.
inline constexpr int kLongestRecordingSeconds = 50;

// An uploaded file may run a little past the recording (the encoder's
// priming, the stop that follows the key's release).
inline constexpr double kMaxUploadAudioSeconds = kLongestRecordingSeconds + 5.0;

// A real-time stream also spans the connection set-up, audio cached during it
// and then paced out, and the wait for the final text.
inline constexpr int kMaxRealtimeSessionSeconds = kLongestRecordingSeconds + 20;

} // namespace velnor::server
