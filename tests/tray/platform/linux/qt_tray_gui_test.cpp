// The Qt tray host on a real X server, run by gui_session.sh on Xvfb with
// trayer as the XEmbed tray: xdotool clicks the icon and the menu items, and
// zbarimg reads the QR code from screenshots of the menu and the pairing
// window. The case without a tray runs on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QActionGroup>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <QWidgetAction>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "../../panel_pixels.h"
#include "support/test_support.h"
#include "tray/platform/linux/pairing_window.h"
#include "tray/platform/linux/qr_panel_widget.h"
#include "tray/platform/linux/qt_tray_host.h"

namespace {

std::shared_ptr<QtApplication> application(const char* platform) {
  setenv("QT_QPA_PLATFORM", platform, 1);
  static char name[] = "qt_tray_gui_test";
  static char* argv[] = {name, nullptr};
  return std::make_shared<QtApplication>(1, argv);
}

// The tray's side of the host: the menu of `state`; the ids chosen are logged.
struct Sink : TrayHostSink {
  QtTrayHost* host = nullptr;
  TraySnapshot state;
  std::string ids;
  void show_menu() override {
    host->show_menu(build_menu_model(state, MenuOptions{std::string(kAutostartLabelLogin)}));
  }
  bool dispatch_command(int id) override {
    ids += std::to_string(id) + " ";
    if (id == 2006) host->quit();
    return true;
  }
  QrPanelLayout qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const override {
    return layout_qr_panel(item, dpi_x, dpi_y, state.pairing_code);
  }
};

// The rendered menu in the notation of test::describe_menu, the ids learnt by
// firing each item's signal; "~" marks a check box, "o" a radio item.
std::string describe_qt(QMenu& menu, Sink& sink) {
  std::string out;
  for (QAction* a : menu.actions()) {
    out += out.empty() ? "" : "|";
    auto* widget = qobject_cast<QWidgetAction*>(a);
    const bool panel = widget && dynamic_cast<QrPanelWidget*>(widget->defaultWidget());
    out += a->isSeparator() ? "---" : panel ? "[QR#2030]" : a->text().toStdString();
    if (a->isSeparator() || widget != nullptr) continue;
    if (a->menu() != nullptr) {
      out += "{" + describe_qt(*a->menu(), sink) + "}";
      continue;
    }
    sink.ids.clear();
    emit a->triggered();
    if (!sink.ids.empty() && sink.ids != "0 ") out += "#" + sink.ids.substr(0, 4);
    out += std::string(a->isChecked() ? "*" : "") + (a->isCheckable() ? "~" : "") +
           (a->actionGroup() && a->actionGroup()->isExclusive() ? "o" : "");
  }
  return out;
}

// Runs Qt's events until `done` holds, for at most 20 s.
bool wait_for(const std::function<bool()>& done) {
  for (int i = 0; i < 400 && !done(); ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(50);
  }
  return done();
}

void click(const QPoint& at, int button) {
  EXPECT_EQ(std::system(("xdotool mousemove " + std::to_string(at.x()) + " " +
                         std::to_string(at.y()) + " sleep 0.3 click " + std::to_string(button))
                            .c_str()),
            0);
}

// Clicks the item `text` of `menu`.
void choose(QMenu* menu, const std::string& text) {
  for (QAction* a : menu->actions()) {
    if (a->text().toStdString() == text)
      return click(menu->mapToGlobal(menu->actionGeometry(a).center()), 1);
  }
  ADD_FAILURE() << "no item " << text;
}

bool screen_shows(const std::string& code) {
  return std::system("import -window root shot.png; zbarimg --nodbus -q --raw shot.png >seen") >=
             0 &&
         test::read_file_bytes("seen") == code + "\n";
}

}  // namespace

TEST(QtTrayOffscreen, CreateFailsWithoutATray) {
  auto app = application("offscreen");
  QtTrayHostOptions options;
  options.tray_wait = std::chrono::milliseconds(0);
  Sink sink;
  EXPECT_FALSE(QtTrayHost(app, options).create(sink, u"Tovik"));
}

TEST(QtTrayOnX, MenusShowTheModelAndTheCodeAndChoicesComeBackAsTheirIds) {
  auto app = application("xcb");
  QtTrayHostOptions options;
  options.tray_wait = std::chrono::seconds(20);
  options.pairing_window_item = PairingWindowItem::Always;
  QtTrayHost host(app, options);
  Sink sink;
  sink.host = &host;
  sink.state.status_text = "Connected";
  sink.state.peer_name = "Tom & Jerry";
  sink.state.pairing_code = std::to_string(1000000 + std::random_device()() % 1000000).substr(1);
  const std::string code = sink.state.pairing_code;
  ASSERT_TRUE(host.create(sink, u"Tovik")) << "no system tray";
  // Embedded, the icon moves from the corner into trayer, at the right.
  ASSERT_TRUE(wait_for([&host] { return host.icon()->geometry().x() > 0; })) << "no icon";
  const QPoint icon = host.icon()->geometry().center();
  std::thread([&host] { host.set_tooltip(u"Tovik \u2014 Connected"); }).join();  // any thread
  EXPECT_TRUE(wait_for([&host] { return host.icon()->toolTip() == "Tovik — Connected"; }));

  click(icon, 1);  // our own popup
  ASSERT_TRUE(wait_for([&host] { return host.menu()->isVisible(); })) << "left click: no menu";
  EXPECT_TRUE(wait_for([&code] { return screen_shows(code); })) << "the menu lacks " << code;
  choose(host.menu(), "Copy Pairing Code");
  EXPECT_TRUE(wait_for([&sink] { return sink.ids == "2020 "; })) << sink.ids;
  sink.state.settings.quality = AudioQuality::High;
  click(icon, 3);  // the context menu, filled with the new state
  ASSERT_TRUE(wait_for([&host] { return host.menu()->isVisible(); })) << "right click: no menu";
  choose(host.menu(), "Show pairing QR code\u2026");
  PairingWindow* window = nullptr;
  ASSERT_TRUE(wait_for([&] { return (window = host.pairing_window()) && window->isVisible(); }));
  EXPECT_EQ(window->windowTitle(), "Tovik - Pairing Code");
  EXPECT_TRUE(wait_for([&code] { return screen_shows(code); })) << "the window lacks " << code;
  // Alone, not in a menu, the panel paints the window's colour around.
  const QImage image = window->grab().toImage();
  const QrPanelLayout l = sink.qr_panel_layout({0, 0, image.width(), image.height()},
                                               window->logicalDpiX(), window->logicalDpiY());
  auto pixel = [&image](int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; };
  const unsigned background = window->palette().color(QPalette::Window).rgb() & 0xFFFFFFu;
  EXPECT_EQ(test::describe_painted_panel(l, code.c_str(), image.width(), image.height(), pixel,
                                         background, 0),
            "0 pixels wrong, digits in place");
  // Literal texts ("&" would mark an access key), the ids, check boxes (~),
  // radio items (o) and, after the panel, the window's item.
  const std::string expected =
      "tovik \u2014 Connected|Connected to: Tom && Jerry|LAN \u00B7 P2P|---|\u25CF Streaming|"
      "Pause#2007|Disconnect#2004|---|Pairing Code: " +
      code.substr(0, 3) + " " + code.substr(3) +
      "|[QR#2030]|Show pairing QR code\u2026|Copy Pairing Code#2020|---|Quality: 256k{Auto#2010~o|"
      "256 kbps#2011*~o|128 kbps#2012~o|64 kbps#2013~o}|Start at login#2014~|---|Quit Tovik#2006";
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(host.menu()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
  EXPECT_EQ(describe_qt(*host.menu(), sink), expected);

  QTimer::singleShot(0, [&] {  // the loop ends through "Quit Tovik"
    click(icon, 3);
    if (wait_for([&host] { return host.menu()->isVisible(); })) choose(host.menu(), "Quit Tovik");
  });
  QTimer::singleShot(60000, &QApplication::quit);
  sink.ids.clear();
  host.run_message_loop();
  EXPECT_EQ(sink.ids, "2006 ");
}
