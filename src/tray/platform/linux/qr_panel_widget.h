#pragma once

#include <QWidget>

#include "tray/tray_host.h"

// Paints the QR item exactly as TrayHostSink::qr_panel_layout lays it out for
// the widget's rectangle and the screen's logical resolution: the palette's
// window colour behind, a white square, black modules, the code in bold.
class QrPanelWidget : public QWidget {
 public:
  // `sink` outlives the widget.
  QrPanelWidget(TrayHostSink& sink, QWidget* parent);

  QSize sizeHint() const override;  // 200 x 88 logical units
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TrayHostSink& sink_;
};
