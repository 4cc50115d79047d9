#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "storage/app_settings.h"
#include "tray/menu_model.h"
#include "tray/qr_panel.h"
#include "tray/tray_host.h"
#include "tray/tray_types.h"

// The tray's display state, tooltip and command routing, independent of any
// window system; a TrayHost renders it. The setters may be called from any
// thread; everything else runs on the UI thread.
class TrayIcon : public TrayHostSink {
 public:
  explicit TrayIcon(std::unique_ptr<TrayHost> host, MenuOptions options = {});
  ~TrayIcon() override;  // removes the icon if create succeeded
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Takes the callbacks and shows the icon with "Tovik — Disconnected".
  // False when the host could not create it (no icon is shown then).
  bool create(TrayCallbacks callbacks);
  // Runs the host's loop until the Quit command.
  void run_message_loop();

  // Where the paused state is read, at every menu, panel and tooltip: the
  // engine's own flag, so that what the tray shows is what is sent, whoever
  // paused. Set before create; without one the tray shows "not paused".
  void set_paused_source(std::function<bool()> source);

  // Stores both texts (UTF-8); any status but exactly "Connected" also
  // clears rtt and bitrate. Refreshes the tooltip.
  void set_status(const std::string& status_text, const std::string& peer_name);
  void set_link_stats(std::int32_t rtt_ms, std::int32_t bitrate_kbps);
  void set_pairing_code(const std::string& code);
  void set_settings(const AppSettings& settings);
  // Shows `text` (UTF-8) as news from "Tovik" once the icon exists; any thread.
  void show_notice(const std::string& text);
  // Recomposes the tooltip from status, peer and the paused state and hands
  // it to the host; call it when the paused state has changed.
  void update_tooltip();

  // A copy of the display state.
  TraySnapshot snapshot() const;
  // The tooltip last composed ("Tovik — Disconnected" before any).
  std::u16string tooltip() const;
  // The menu for the current state.
  MenuModel menu_model() const;

  // TrayHostSink
  void show_menu() override;
  bool dispatch_command(int id) override;
  QrPanelLayout qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const override;

 private:
  std::unique_ptr<TrayHost> host_;
  MenuOptions options_;
  TrayCallbacks callbacks_;
  std::function<bool()> paused_source_;
  std::atomic<bool> created_{false};

  mutable std::mutex mutex_;  // guards state_, held only while copying
  TraySnapshot state_;        // its `paused` is unused: the source decides

  mutable std::mutex tooltip_mutex_;  // serialises compose + set_tooltip
  std::u16string tooltip_;
};
