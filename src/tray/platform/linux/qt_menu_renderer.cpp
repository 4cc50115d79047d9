#include "tray/platform/linux/qt_menu_renderer.h"

#include <QActionGroup>
#include <QMenu>
#include <QWidgetAction>

#include "tray/platform/linux/qr_panel_widget.h"

const char* const kShowPairingWindowLabel = "Show pairing QR code\u2026";

namespace {

// Menu texts are literal: "&" would otherwise mark a keyboard accelerator.
QString literal(const std::string& text) {
  return QString::fromStdString(text).replace('&', QStringLiteral("&&"));
}

bool is_quality(int id) {
  return id >= tray_command::kQualityAuto && id <= tray_command::kQualityLow;
}

// Items that show a check box (or a radio mark) even while unchecked.
bool is_choice(int id) { return is_quality(id) || id == tray_command::kStartWithWindows; }

// The quality items of one submenu show as radio items.
QActionGroup* exclusive_group(QMenu& menu) {
  auto* group = menu.findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
  if (group == nullptr) group = new QActionGroup(&menu);
  return group;
}

void add_items(QMenu& menu, const MenuModel& model, TrayHostSink& sink,
               const std::function<void()>& show_pairing_window);

void add_item(QMenu& menu, const MenuItem& item, TrayHostSink& sink,
              const std::function<void()>& show_pairing_window) {
  switch (item.kind) {
    case MenuItemKind::Separator:
      menu.addSeparator();
      return;
    case MenuItemKind::Submenu: {
      auto* submenu = new QMenu(literal(item.text), &menu);
      add_items(*submenu, item.children, sink, show_pairing_window);
      menu.addMenu(submenu);
      return;
    }
    case MenuItemKind::QrPanel: {
      auto* action = new QWidgetAction(&menu);
      action->setDefaultWidget(new QrPanelWidget(sink, nullptr));
      menu.addAction(action);
      if (show_pairing_window) {
        QObject::connect(menu.addAction(QString::fromUtf8(kShowPairingWindowLabel)),
                         &QAction::triggered, show_pairing_window);
      }
      return;
    }
    case MenuItemKind::Info:
    case MenuItemKind::Command:
      break;
  }
  QAction* action = menu.addAction(literal(item.text));
  if (is_choice(item.id)) {
    action->setCheckable(true);
    if (is_quality(item.id)) action->setActionGroup(exclusive_group(menu));
  }
  action->setChecked(item.checked);
  const int id = item.id;
  QObject::connect(action, &QAction::triggered, [&sink, id] { sink.dispatch_command(id); });
}

void add_items(QMenu& menu, const MenuModel& model, TrayHostSink& sink,
               const std::function<void()>& show_pairing_window) {
  for (const MenuItem& item : model) add_item(menu, item, sink, show_pairing_window);
}

}  // namespace

void render_menu(QMenu& menu, const MenuModel& model, TrayHostSink& sink,
                 const std::function<void()>& show_pairing_window) {
  menu.clear();
  // clear() keeps submenus, which the menu owns as children: drop them too.
  for (QMenu* old : menu.findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) {
    old->deleteLater();
  }
  add_items(menu, model, sink, show_pairing_window);
}
