#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tray/qr_panel.h"
#include "tray/tray_host.h"

namespace gui_test {

// A TrayHostSink that records what the host asks of it.
class RecordingSink : public TrayHostSink {
 public:
  int show_menu_calls = 0;
  std::vector<int> commands;
  mutable std::vector<PixelRect> layout_rects;
  mutable std::vector<int> layout_dpis;  // dpi_x, dpi_y per request
  std::string pairing_code = "123456";
  std::function<void()> on_show_menu;

  void show_menu() override;
  // Handles every id but 2005, which is not a tray command.
  bool dispatch_command(int id) override;
  QrPanelLayout qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const override;
};

// A 32-bit top-down DIB selected into a memory DC, filled with `background`.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF background);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // The pixel as a COLORREF (0x00BBGGRR).
  COLORREF pixel(int x, int y) const;
  std::vector<std::uint32_t> pixels() const;
  // Writes a 24-bit BMP of the rectangle; false on failure.
  bool save_bmp(const std::string& path, const PixelRect& area) const;

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

// Removes a pending quit message from this thread's queue; true if there was one.
bool take_quit_message();

// Runs `blocking` (a call that runs a modal loop, such as a menu or a message
// box) while a thread timer calls `poll` every 50 ms; `poll` returns true once
// it has closed the modal loop. Gives up closing after `bound_ms` and then
// calls `give_up`. Returns whether `poll` succeeded.
bool run_modal_with_poll(const std::function<void()>& blocking, const std::function<bool()>& poll,
                         const std::function<void()>& give_up, int bound_ms = 20000);

}  // namespace gui_test
