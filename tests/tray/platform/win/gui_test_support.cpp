#include "gui_test_support.h"

#include <cstdio>

namespace gui_test {

void RecordingSink::show_menu() {
  ++show_menu_calls;
  if (on_show_menu) on_show_menu();
}

bool RecordingSink::dispatch_command(int id) {
  commands.push_back(id);
  return id != 2005;
}

QrPanelLayout RecordingSink::qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const {
  layout_rects.push_back(item);
  layout_dpis.push_back(dpi_x);
  layout_dpis.push_back(dpi_y);
  return layout_qr_panel(item, dpi_x, dpi_y, pairing_code);
}

Canvas::Canvas(int width, int height, COLORREF background) : width_(width), height_(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  dc_ = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<std::uint32_t*>(bits);
  previous_ = SelectObject(dc_, bitmap_);
  HBRUSH brush = CreateSolidBrush(background);
  RECT all{0, 0, width, height};
  FillRect(dc_, &all, brush);
  DeleteObject(brush);
  GdiFlush();
}

Canvas::~Canvas() {
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

COLORREF Canvas::pixel(int x, int y) const {
  GdiFlush();
  const std::uint32_t v = bits_[static_cast<std::size_t>(y) * width_ + x];  // 0x00RRGGBB
  return RGB((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
}

std::vector<std::uint32_t> Canvas::pixels() const {
  GdiFlush();
  return std::vector<std::uint32_t>(bits_, bits_ + static_cast<std::size_t>(width_) * height_);
}

bool Canvas::save_bmp(const std::string& path, const PixelRect& area) const {
  const int w = area.right - area.left;
  const int h = area.bottom - area.top;
  const int stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * h);
  header.biSize = sizeof header;
  header.biWidth = w;
  header.biHeight = h;  // bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&header, sizeof header, 1, out);
  std::vector<unsigned char> row(static_cast<std::size_t>(stride), 0);
  for (int y = area.bottom - 1; y >= area.top; --y) {
    for (int x = 0; x < w; ++x) {
      const COLORREF c = pixel(area.left + x, y);
      row[x * 3] = GetBValue(c);
      row[x * 3 + 1] = GetGValue(c);
      row[x * 3 + 2] = GetRValue(c);
    }
    std::fwrite(row.data(), 1, row.size(), out);
  }
  return std::fclose(out) == 0;
}

bool take_quit_message() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

namespace {

struct ModalPoll {
  std::function<bool()> poll;
  std::function<void()> give_up;
  DWORD deadline = 0;
  bool succeeded = false;
  bool done = false;
};
ModalPoll* g_poll = nullptr;

void CALLBACK on_poll_timer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_poll == nullptr || g_poll->done) return;
  if (g_poll->poll()) {
    g_poll->succeeded = g_poll->done = true;
  } else if (static_cast<LONG>(GetTickCount() - g_poll->deadline) > 0) {
    g_poll->done = true;
    g_poll->give_up();
  }
}

}  // namespace

bool run_modal_with_poll(const std::function<void()>& blocking, const std::function<bool()>& poll,
                         const std::function<void()>& give_up, int bound_ms) {
  ModalPoll state{poll, give_up, GetTickCount() + static_cast<DWORD>(bound_ms)};
  g_poll = &state;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &on_poll_timer);
  blocking();
  KillTimer(nullptr, timer);
  g_poll = nullptr;
  return state.succeeded;
}

}  // namespace gui_test
