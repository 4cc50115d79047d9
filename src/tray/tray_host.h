#pragma once

#include <string>

#include "tray/menu_model.h"
#include "tray/qr_panel.h"

// What a platform host calls back into; implemented by TrayIcon. All three
// run on the host's UI thread.
class TrayHostSink {
 public:
  virtual ~TrayHostSink() = default;
  // The icon was clicked (either button, on release): build and show the menu.
  virtual void show_menu() = 0;
  // A menu choice arrived. False when `id` is not a tray command, so the host
  // applies its default handling.
  virtual bool dispatch_command(int id) = 0;
  // The QR item's layout for the rectangle and resolution the host paints at.
  virtual QrPanelLayout qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const = 0;
};

// The platform half of the tray (Win32 notification icon, Qt tray, terminal).
// Everything runs on the UI thread except set_tooltip.
class TrayHost {
 public:
  virtual ~TrayHost() = default;
  // Makes the icon visible with `tooltip`; false when the platform refused.
  // `sink` outlives the host's use of it (until destroy).
  virtual bool create(TrayHostSink& sink, const std::u16string& tooltip) = 0;
  // Removes the icon; called once, only after a successful create.
  virtual void destroy() = 0;
  // Replaces the tooltip (at most 127 units). May be called from any thread;
  // TrayIcon never runs two calls at once. Must not call back into the sink
  // nor wait for the UI thread (post the change to it instead).
  virtual void set_tooltip(const std::u16string& tooltip) = 0;
  // Shows a short piece of news the way the platform does (a balloon, a
  // desktop notification, a line in the terminal), never a box that waits.
  // May be called from any thread; must not wait for the UI thread.
  virtual void show_notice(const std::u16string& title, const std::u16string& text) = 0;
  // Shows `model` as a popup at the pointer and returns when it closes; the
  // choice comes back through TrayHostSink::dispatch_command.
  virtual void show_menu(const MenuModel& model) = 0;
  // Runs the UI loop until quit.
  virtual void run_message_loop() = 0;
  // Ends run_message_loop (the Quit command); UI thread.
  virtual void quit() = 0;
};
