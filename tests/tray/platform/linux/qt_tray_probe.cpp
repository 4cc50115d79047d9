// qt_tray_probe CODE [--pairing-window-item]: a Tovik tray (TrayIcon + the Qt
// host) with callbacks that report on stdout, for the Xvfb tests. It prints
//   icon <x> <y> <w> <h>            once the tray has embedded the icon
//   item <menu> <cx> <cy> <text>    for each item of a menu when it shows
//   window <x> <y> <w> <h>          when the pairing window shows
//   tooltip <text>                  whenever the icon's tooltip changes
//   command <name> [arg]            for each callback
// (fields separated by tabs; coordinates are global, centres for items).
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "tray/platform/linux/pairing_window.h"
#include "tray/platform/linux/qt_tray_host.h"
#include "tray/tray_icon.h"

namespace {

void say(const QString& line) {
  std::fputs(line.toUtf8().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

QString rect_fields(const QRect& r) {
  return QString("%1\t%2\t%3\t%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Reports each menu's items once it is on screen and laid out.
class MenuReporter : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu != nullptr && event->type() == QEvent::Show) {
      QTimer::singleShot(0, menu, [menu] { report(menu); });
    }
    return false;
  }

 private:
  static void report(QMenu* menu) {
    QString name = menu->title().isEmpty() ? QString("main") : menu->title();
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      QRect r = menu->actionGeometry(action);
      QPoint c = menu->mapToGlobal(r.center());
      QString text = action->text().isEmpty() ? QString("<panel>") : action->text();
      say(QString("item\t%1\t%2\t%3\t%4").arg(name).arg(c.x()).arg(c.y()).arg(text));
    }
  }
};

TrayCallbacks report_callbacks(TrayIcon& tray) {
  TrayCallbacks cb;
  cb.on_quit = [] { say("command\tquit"); };
  cb.on_disconnect = [] { say("command\tdisconnect"); };
  cb.on_toggle_pause = [] { say("command\tpause"); };
  cb.on_quality = [&tray](AudioQuality q) {
    say(QString("command\tquality\t%1").arg(static_cast<int>(q)));
    AppSettings settings = tray.snapshot().settings;
    settings.quality = q;
    tray.set_settings(settings);  // as the shell does, so the next menu shows it
  };
  cb.on_start_with_windows = [&tray](bool on) {
    say(QString("command\tautostart\t%1").arg(on ? "on" : "off"));
    AppSettings settings = tray.snapshot().settings;
    settings.start_with_windows = on;
    tray.set_settings(settings);
  };
  cb.on_copy_pairing_code = [] { say("command\tcopy"); };
  return cb;
}

// Polls what the test cannot see from outside: the embedded icon's
// geometry, the tooltip and the pairing window.
void start_watch(QtTrayHost& host, TrayIcon& tray, std::thread& worker) {
  auto* timer = new QTimer(host.menu());
  auto state = std::make_shared<std::pair<QString, QString>>();
  QObject::connect(timer, &QTimer::timeout, [&host, &tray, &worker, state] {
    QRect icon = host.icon()->geometry();
    if (state->first.isEmpty() && icon.width() > 0) {
      state->first = rect_fields(icon);
      say("icon\t" + state->first);
      // A state change from a worker thread, as the session reports them.
      worker = std::thread([&tray] { tray.set_status("Connected", "Kitchen"); });
    }
    if (host.icon()->toolTip() != state->second) {
      state->second = host.icon()->toolTip();
      say("tooltip\t" + state->second);
    }
    PairingWindow* window = host.pairing_window();
    if (window != nullptr && window->isVisible() && !window->property("reported").toBool()) {
      window->setProperty("reported", true);
      say("window\t" + rect_fields(window->frameGeometry()) + "\t" + window->windowTitle());
    }
  });
  timer->start(50);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qt_tray_probe CODE [--pairing-window-item]\n");
    return 2;
  }
  bool pairing_item = argc > 2 && std::strcmp(argv[2], "--pairing-window-item") == 0;
  auto app = std::make_shared<QtApplication>(argc, argv);
  QtTrayHostOptions options;
  options.tray_wait = std::chrono::seconds(20);
  options.pairing_window_item = pairing_item ? PairingWindowItem::Always : PairingWindowItem::Never;
  auto host = std::make_unique<QtTrayHost>(app, options);
  QtTrayHost* raw = host.get();
  TrayIcon tray(std::move(host), MenuOptions{std::string(kAutostartLabelLogin)});
  tray.set_pairing_code(argv[1]);
  if (!tray.create(report_callbacks(tray))) {
    std::fprintf(stderr, "qt_tray_probe: no system tray\n");
    return 1;
  }
  MenuReporter reporter;
  app->app().installEventFilter(&reporter);
  std::thread worker;
  start_watch(*raw, tray, worker);
  tray.run_message_loop();
  if (worker.joinable()) worker.join();
  return 0;
}
