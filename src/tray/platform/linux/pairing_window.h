#pragma once

#include <QWidget>

#include "tray/tray_host.h"

// A small window with the QR panel, for trays whose menus cannot show it.
// It paints from the sink at every paint, so it follows the current code.
class PairingWindow : public QWidget {
 public:
  explicit PairingWindow(TrayHostSink& sink);
};

// The window's title.
extern const char* const kPairingWindowTitle;
