#pragma once

#include <memory>
#include <ostream>

#include "app/shell/platform_services.h"
#include "tray/platform/linux/qt_application.h"

// Platform services on a Linux desktop: Qt's clipboard and message box.
class QtPlatformServices : public PlatformServices {
 public:
  // `show_dialogs` false keeps show_error off the screen (tests); errors are
  // also written to `err`, which outlives the object, for a starting terminal.
  QtPlatformServices(std::shared_ptr<QtApplication> app, bool show_dialogs, std::ostream& err);

  std::string computer_name() override;
  // "Tovik - Error: <text>" to `err`, then a modal critical box captioned
  // "Tovik - Error" with one OK button.
  void show_error(const std::string& text) override;
  // "Tovik: <text>" to `err` (for a starting terminal), then a desktop
  // notification where a notification service answers.
  void show_notice(const std::string& text) override;
  // Sets the clipboard's text (X11/Wayland keep it while Tovik runs).
  void copy_to_clipboard(const std::string& text) override;
  std::int64_t now_seconds() override;

 private:
  std::shared_ptr<QtApplication> app_;
  const bool show_dialogs_;
  std::ostream& err_;
};
