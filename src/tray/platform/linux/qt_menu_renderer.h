#pragma once

#include <functional>

#include "tray/menu_model.h"
#include "tray/tray_host.h"

class QMenu;

// Replaces the contents of `menu` with `model`: info lines, commands,
// check marks, separators, the quality submenu and the QR panel as a widget.
// Every choice goes to `sink.dispatch_command` with the item's id. When
// `show_pairing_window` is set, an extra "Show pairing QR code…" item after
// the QR panel calls it (for trays that drop widget items).
void render_menu(QMenu& menu, const MenuModel& model, TrayHostSink& sink,
                 const std::function<void()>& show_pairing_window);

// The label of the extra item.
extern const char* const kShowPairingWindowLabel;
