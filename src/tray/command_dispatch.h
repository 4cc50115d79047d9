#pragma once

#include "storage/app_settings.h"
#include "tray/tray_types.h"

enum class CommandResult {
  NotHandled,  // not a tray command: the host applies its default handling
  Handled,     // the callback (if any) ran
  Quit,        // on_quit (if any) ran; the host must end its message loop
};

// Runs the callback for command `id`. The toggles 2014 and 2015 pass the
// negation of the flags in `settings`. Callbacks run on the caller's thread.
CommandResult dispatch_command(int id, const TrayCallbacks& callbacks, const AppSettings& settings);
