#include "tray/platform/linux/pairing_window.h"

#include <QVBoxLayout>

#include "tray/platform/linux/qr_panel_widget.h"

const char* const kPairingWindowTitle = "Tovik - Pairing Code";

PairingWindow::PairingWindow(TrayHostSink& sink) {
  setWindowTitle(QString::fromUtf8(kPairingWindowTitle));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* panel = new QrPanelWidget(sink, this);
  layout->addWidget(panel);
  setFixedSize(panel->sizeHint());
}
