#include "tray/platform/linux/qr_panel_widget.h"

#include <QFontMetrics>
#include <QMenu>
#include <QPainter>

namespace {

QRect to_qrect(const PixelRect& r) {
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// The layout gives a cell height (ascent plus descent); Qt sizes fonts by
// their em, so scale the em until the cell has that height.
QFont bold_font_with_cell_height(QFont font, int cell_height) {
  font.setBold(true);
  font.setPixelSize(cell_height);
  int measured = QFontMetrics(font).height();
  if (measured > 0 && measured != cell_height) {
    font.setPixelSize(qMax(1, cell_height * cell_height / measured));
  }
  return font;
}

}  // namespace

QrPanelWidget::QrPanelWidget(TrayHostSink& sink, QWidget* parent) : QWidget(parent), sink_(sink) {}

QSize QrPanelWidget::sizeHint() const {
  PixelSize size = qr_panel_item_size(logicalDpiX(), logicalDpiY());
  // The layout was made for Segoe UI; wider faces (DejaVu Sans) would clip
  // the digits, so widen the item until its text fits.
  QrPanelLayout layout =
      sink_.qr_panel_layout({0, 0, size.width, size.height}, logicalDpiX(), logicalDpiY());
  if (layout.has_symbol) {
    QFontMetrics metrics(bold_font_with_cell_height(font(), layout.font_height));
    int text_width = metrics.horizontalAdvance(QString::fromStdString(layout.text));
    int margin = size.width - layout.text_rect.right;
    size.width = qMax(size.width, layout.text_rect.left + text_width + margin);
  }
  return QSize(size.width, size.height);
}

void QrPanelWidget::paintEvent(QPaintEvent*) {
  QrPanelLayout layout =
      sink_.qr_panel_layout({0, 0, width(), height()}, logicalDpiX(), logicalDpiY());
  QPainter painter(this);
  // Inside a menu the menu has already painted its own background under the
  // item, which is the menu colour whatever the style; alone, use the window's.
  if (qobject_cast<QMenu*>(parentWidget()) == nullptr) {
    painter.fillRect(to_qrect(layout.background), palette().color(QPalette::Window));
  }
  if (!layout.has_symbol) return;
  painter.fillRect(to_qrect(layout.white_square), Qt::white);
  for (const PixelRect& module : layout.dark_modules) painter.fillRect(to_qrect(module), Qt::black);
  painter.setFont(bold_font_with_cell_height(font(), layout.font_height));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(to_qrect(layout.text_rect),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QString::fromStdString(layout.text));
}
