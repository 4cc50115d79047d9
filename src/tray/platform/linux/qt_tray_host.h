#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <memory>

#include "tray/platform/linux/qt_application.h"
#include "tray/platform/posix/signal_pipe.h"
#include "tray/tray_host.h"

class QMenu;
class QSystemTrayIcon;
class PairingWindow;

// When the menu also offers the QR in a window of its own.
enum class PairingWindowItem {
  Auto,  // only when a StatusNotifier host draws the menu (and drops the panel)
  Always,
  Never,
};

struct QtTrayHostOptions {
  // How long create waits for a tray to appear: at login the panel may start
  // after us.
  std::chrono::milliseconds tray_wait{std::chrono::seconds(10)};
  PairingWindowItem pairing_window_item = PairingWindowItem::Auto;
};

// The tray on a Linux desktop: a QSystemTrayIcon whose menu is rendered from
// the menu model on every opening, by left click (our own popup) as well as
// by right click (the context menu), with the QR panel as a widget item.
class QtTrayHost : public TrayHost {
 public:
  // Built on the UI thread, which must be the QApplication's.
  QtTrayHost(std::shared_ptr<QtApplication> app, QtTrayHostOptions options = {});
  ~QtTrayHost() override;

  // False when no system tray appears within options.tray_wait.
  bool create(TrayHostSink& sink, const std::u16string& tooltip) override;
  void destroy() override;
  // Any thread: the text travels to the UI thread as a queued call.
  void set_tooltip(const std::u16string& tooltip) override;
  // Any thread: a queued call shows the icon's message bubble.
  void show_notice(const std::u16string& title, const std::u16string& text) override;
  // Renders `model`; pops it up at the pointer unless Qt is opening the
  // context menu already (then it only fills it).
  void show_menu(const MenuModel& model) override;
  // Runs Qt's loop; SIGINT and SIGTERM (a logout, a kill, Ctrl+C in the
  // starting terminal) arrive as "Quit Tovik", so the receiver is told.
  void run_message_loop() override;
  void quit() override;

  // For tests: the menu, the icon and the pairing window (null until opened).
  QMenu* menu() const { return menu_; }
  QSystemTrayIcon* icon() const { return icon_; }
  PairingWindow* pairing_window() const;

 private:
  bool wait_for_tray() const;
  bool wants_pairing_window_item() const;
  void on_about_to_show();
  void show_pairing_window();

  std::shared_ptr<QtApplication> app_;
  QtTrayHostOptions options_;
  QObject relay_;  // lives on the UI thread; receives the queued tooltips
  TrayHostSink* sink_ = nullptr;
  QSystemTrayIcon* icon_ = nullptr;
  QMenu* menu_ = nullptr;
  QPointer<PairingWindow> pairing_window_;
  bool offer_pairing_window_ = false;
  bool popping_up_ = false;  // show_menu is opening the menu itself
  bool filling_ = false;     // the context menu is about to open
  SignalPipe signals_;
};
