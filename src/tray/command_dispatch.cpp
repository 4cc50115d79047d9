#include "tray/command_dispatch.h"

namespace {

void call(const std::function<void()>& callback) {
  if (callback) callback();
}

}  // namespace

CommandResult dispatch_command(int id, const TrayCallbacks& callbacks,
                               const AppSettings& settings) {
  namespace cmd = tray_command;
  switch (id) {
    case cmd::kQuit:
      call(callbacks.on_quit);
      return CommandResult::Quit;
    case cmd::kDisconnect:
      call(callbacks.on_disconnect);
      return CommandResult::Handled;
    case cmd::kTogglePause:
      call(callbacks.on_toggle_pause);
      return CommandResult::Handled;
    case cmd::kCopyPairingCode:
      call(callbacks.on_copy_pairing_code);
      return CommandResult::Handled;
    case cmd::kQualityAuto:
    case cmd::kQualityHigh:
    case cmd::kQualityMedium:
    case cmd::kQualityLow:
      if (callbacks.on_quality) callbacks.on_quality(AudioQuality(id - cmd::kQualityAuto));
      return CommandResult::Handled;
    case cmd::kStartWithWindows:
      if (callbacks.on_start_with_windows) {
        callbacks.on_start_with_windows(!settings.start_with_windows);
      }
      return CommandResult::Handled;
    case cmd::kSmartVolume:
      if (callbacks.on_smart_volume) callbacks.on_smart_volume(!settings.smart_volume);
      return CommandResult::Handled;
    default:
      return CommandResult::NotHandled;
  }
}
