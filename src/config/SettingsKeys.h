#pragma once

// Every persisted key, by name. Values of the application settings are strings
// ("true"/"false" for switches, decimal digits for numbers).
namespace velnor::SettingsKey {

inline constexpr const char* FloatingWindowPosition = "/velnor/floating_window/position";
inline constexpr const char* PopupAfterTextInput = "/debug/popup-after-textinput";
inline constexpr const char* CurrentQasrType = "/velnor/current_qasr_type";
inline constexpr const char* MaxRecordingDuration = "/velnor/audio/max_recording_duration";
inline constexpr const char* EnableSoundEffects = "/audio/enable_sound_effects";
inline constexpr const char* OutputLanguage = "/velnor/output/language";
inline constexpr const char* RecognitionMode = "/velnor/speech/recognition_mode";
inline constexpr const char* RealtimeTimeout = "/velnor/speech/realtime_timeout";
inline constexpr const char* OverOverEnable = "/velnor/over_over/enable";
inline constexpr const char* OverOverKeyType = "/velnor/over_over/key_type";
inline constexpr const char* HotkeyStart = "/velnor/hotkey/start";
inline constexpr const char* LaunchAtLogin = "/velnor/launch_at_login";
inline constexpr const char* KeyboardSelectedDeviceId = "/velnor/keyboard/selected_device_id";
inline constexpr const char* AudioSelectedInputDeviceId = "/velnor/audio/selected_input_device_id";
inline constexpr const char* HistoryEnabled = "/velnor/history/enabled";
inline constexpr const char* HistoryRetentionDays = "/velnor/history/retention_days";
// "false" keeps dictation off the input method's way (addon, preedit).
inline constexpr const char* InputMethodEnabled = "/velnor/input_method/enable";
// "true": on Wayland the hotkey is read from the input devices (group
// `input`); taken at start-up.
inline constexpr const char* EvdevHotkey = "/velnor/hotkey/evdev";
// The desktop portal's restore token for remote-desktop keys (the user
// confirmed once).
inline constexpr const char* RemoteDesktopRestoreToken = "/velnor/portal/remote_desktop_token";

// Session keys.
inline constexpr const char* UserJwt = "/user/jwt";
inline constexpr const char* UserPhone = "/user/phone";
inline constexpr const char* UserName = "/user/name";
inline constexpr const char* UserId = "/user/id";

// Onboarding and permission flags (stored as booleans).
inline constexpr const char* OnboardingCompleted = "OnboardingCompleted";
inline constexpr const char* NeedsRestartAfterPermissions = "NeedsRestartAfterPermissions";
inline constexpr const char* WasAccessibilityJustSet = "WasAccessibilityJustSet";
inline constexpr const char* MicrophonePermission = "PermissionManager.microphonePermission";
inline constexpr const char* AccessibilityPermission = "PermissionManager.accessibilityPermission";

} // namespace velnor::SettingsKey
