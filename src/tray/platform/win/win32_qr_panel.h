#pragma once

#include <windows.h>

#include "tray/qr_panel.h"
#include "tray/tray_host.h"

// The QR item's size for the resolution of `window`'s device context.
PixelSize measure_qr_panel(HWND window);

// Paints the QR item into `item` of `dc` at the DC's resolution, with the
// layout `sink` gives for it.
void draw_qr_panel(HDC dc, const RECT& item, const TrayHostSink& sink);

// Paints `layout` with GDI: menu background, white square, dark modules, the
// bold code text. Every brush and font it creates is deleted before it returns.
void paint_qr_panel(HDC dc, const QrPanelLayout& layout);
