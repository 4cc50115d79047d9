#include "tray/platform/win/win32_qr_panel.h"

#include "tray/platform/win/win32_text.h"

namespace {

RECT to_rect(const PixelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

void fill(HDC dc, const PixelRect& area, HBRUSH brush) {
  RECT rect = to_rect(area);
  FillRect(dc, &rect, brush);
}

void paint_symbol(HDC dc, const QrPanelLayout& layout) {
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  fill(dc, layout.white_square, white);
  for (const PixelRect& module : layout.dark_modules) fill(dc, module, black);
  DeleteObject(black);
  DeleteObject(white);
}

void paint_text(HDC dc, const QrPanelLayout& layout) {
  HFONT font = CreateFontW(layout.font_height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           CLEARTYPE_QUALITY, FF_SWISS | DEFAULT_PITCH, L"Segoe UI");
  HGDIOBJ previous = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
  std::wstring text = utf8_to_wide(layout.text);
  RECT rect = to_rect(layout.text_rect);
  DrawTextW(dc, text.c_str(), -1, &rect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, previous);
  DeleteObject(font);
}

}  // namespace

PixelSize measure_qr_panel(HWND window) {
  HDC dc = GetDC(window);
  const int dpi_x = GetDeviceCaps(dc, LOGPIXELSX);
  const int dpi_y = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  return qr_panel_item_size(dpi_x, dpi_y);
}

void draw_qr_panel(HDC dc, const RECT& item, const TrayHostSink& sink) {
  const int dpi_x = GetDeviceCaps(dc, LOGPIXELSX);
  const int dpi_y = GetDeviceCaps(dc, LOGPIXELSY);
  const PixelRect rect{item.left, item.top, item.right, item.bottom};
  paint_qr_panel(dc, sink.qr_panel_layout(rect, dpi_x, dpi_y));
}

void paint_qr_panel(HDC dc, const QrPanelLayout& layout) {
  fill(dc, layout.background, GetSysColorBrush(COLOR_MENU));
  if (!layout.has_symbol) return;
  paint_symbol(dc, layout);
  paint_text(dc, layout);
}
