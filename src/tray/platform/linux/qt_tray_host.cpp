#include "tray/platform/linux/qt_tray_host.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMenu>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QThread>

#include "app/logs.h"
#include "tray/platform/linux/pairing_window.h"
#include "tray/platform/linux/qt_menu_renderer.h"
#include "tray/platform/linux/status_notifier.h"
#include "tray/tray_types.h"

QtTrayHost::QtTrayHost(std::shared_ptr<QtApplication> app, QtTrayHostOptions options)
    : app_(std::move(app)), options_(options) {}

QtTrayHost::~QtTrayHost() { destroy(); }

bool QtTrayHost::wait_for_tray() const {
  QElapsedTimer timer;
  timer.start();
  while (!QSystemTrayIcon::isSystemTrayAvailable()) {
    if (timer.elapsed() >= options_.tray_wait.count()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 100);
    QThread::msleep(100);
  }
  return true;
}

bool QtTrayHost::wants_pairing_window_item() const {
  switch (options_.pairing_window_item) {
    case PairingWindowItem::Always:
      return true;
    case PairingWindowItem::Never:
      return false;
    case PairingWindowItem::Auto:
      break;
  }
  return status_notifier_host_registered();
}

bool QtTrayHost::create(TrayHostSink& sink, const std::u16string& tooltip) {
  if (!wait_for_tray()) {
    debug_log("tray: create: no system tray appeared");
    return false;
  }
  sink_ = &sink;
  offer_pairing_window_ = wants_pairing_window_item();
  menu_ = new QMenu();
  QObject::connect(menu_, &QMenu::aboutToShow, [this] { on_about_to_show(); });
  icon_ = new QSystemTrayIcon(tovik_icon());
  icon_->setToolTip(QString::fromStdU16String(tooltip));
  icon_->setContextMenu(menu_);
  // Right clicks open the context menu; a left click opens the same menu
  // here, which also keeps the QR panel where the tray would drop it.
  QObject::connect(icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::Trigger) sink_->show_menu();
  });
  icon_->show();
  return true;
}

void QtTrayHost::destroy() {
  if (icon_ == nullptr) return;
  icon_->hide();
  delete icon_;
  icon_ = nullptr;
  delete menu_;
  menu_ = nullptr;
  delete pairing_window_.data();
  sink_ = nullptr;
}

void QtTrayHost::set_tooltip(const std::u16string& tooltip) {
  QString text = QString::fromStdU16String(tooltip);
  QMetaObject::invokeMethod(
      &relay_,
      [this, text] {
        if (icon_ != nullptr) icon_->setToolTip(text);
      },
      Qt::QueuedConnection);
}

void QtTrayHost::show_notice(const std::u16string& title, const std::u16string& text) {
  constexpr int kShownMs = 10000;
  QString heading = QString::fromStdU16String(title);
  QString body = QString::fromStdU16String(text);
  QMetaObject::invokeMethod(
      &relay_,
      [this, heading, body] {
        if (icon_ != nullptr) icon_->showMessage(heading, body, QSystemTrayIcon::Warning, kShownMs);
      },
      Qt::QueuedConnection);
}

void QtTrayHost::show_menu(const MenuModel& model) {
  if (menu_ == nullptr) return;
  std::function<void()> pairing;
  if (offer_pairing_window_) pairing = [this] { show_pairing_window(); };
  render_menu(*menu_, model, *sink_, pairing);
  if (filling_) return;
  popping_up_ = true;
  menu_->popup(QCursor::pos());
  popping_up_ = false;
}

void QtTrayHost::on_about_to_show() {
  // Qt (or a StatusNotifier host) is opening the context menu: fill it with
  // the current state first.
  if (popping_up_ || sink_ == nullptr) return;
  filling_ = true;
  sink_->show_menu();
  filling_ = false;
}

void QtTrayHost::show_pairing_window() {
  if (pairing_window_.isNull()) {
    pairing_window_ = new PairingWindow(*sink_);
    pairing_window_->setAttribute(Qt::WA_DeleteOnClose);
  }
  pairing_window_->show();
  pairing_window_->raise();
  pairing_window_->activateWindow();
}

PairingWindow* QtTrayHost::pairing_window() const { return pairing_window_.data(); }

void QtTrayHost::run_message_loop() {
  // Without the pipe (another loop holds the signals) Qt's loop runs alone.
  std::unique_ptr<QSocketNotifier> notifier;
  if (signals_.open()) {
    notifier = std::make_unique<QSocketNotifier>(signals_.read_fd(), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
      if (signals_.drain() && sink_ != nullptr) sink_->dispatch_command(tray_command::kQuit);
    });
  }
  QApplication::exec();
  notifier.reset();
  signals_.close();
}

void QtTrayHost::quit() { QApplication::quit(); }
