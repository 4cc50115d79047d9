// The Qt host's pieces on the offscreen platform (no display needed).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QActionGroup>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QWidgetAction>
#include <memory>
#include <vector>

#include "tray/platform/linux/qr_panel_widget.h"
#include "tray/platform/linux/qt_menu_renderer.h"
#include "tray/platform/linux/qt_tray_host.h"
#include "tray/tray_icon.h"

namespace {

std::shared_ptr<QtApplication> offscreen_app() {
  static std::shared_ptr<QtApplication> app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static char name[] = "qt_tray_host_test";
    static char* argv[] = {name, nullptr};
    return std::make_shared<QtApplication>(1, argv);
  }();
  return app;
}

class FakeSink : public TrayHostSink {
 public:
  std::string code = "123456";
  std::vector<int> dispatched;
  void show_menu() override {}
  bool dispatch_command(int id) override {
    dispatched.push_back(id);
    return id != 0;
  }
  QrPanelLayout qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const override {
    return layout_qr_panel(item, dpi_x, dpi_y, code);
  }
};

MenuModel connected_model() {
  TraySnapshot s;
  s.status_text = "Connected";
  s.peer_name = "Tom & Jerry";
  s.pairing_code = "123456";
  s.settings.quality = AudioQuality::Medium;
  return build_menu_model(s, MenuOptions{std::string(kAutostartLabelLogin)});
}

QAction* find_action(QMenu& menu, const QString& text) {
  for (QAction* a : menu.actions()) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

}  // namespace

TEST(QtMenuRenderer, RendersEveryItemOfTheModelAndRoutesChoicesToTheSink) {
  offscreen_app();
  FakeSink sink;
  QMenu menu;
  render_menu(menu, connected_model(), sink, nullptr);
  QStringList texts;
  for (QAction* a : menu.actions()) {
    texts << (a->isSeparator() ? "-" : qobject_cast<QWidgetAction*>(a) ? "<panel>" : a->text());
  }
  EXPECT_EQ(texts, QStringList({"tovik — Connected", "Connected to: Tom && Jerry", "LAN · P2P", "-",
                                "● Streaming", "Pause", "Disconnect", "-", "Pairing Code: 123 456",
                                "<panel>", "Copy Pairing Code", "-", "Quality: 128k",
                                "Start at login", "-", "Quit Tovik"}));
  QAction* login = find_action(menu, "Start at login");
  ASSERT_NE(login, nullptr);
  EXPECT_TRUE(login->isCheckable()) << "an unchecked toggle still shows its box";
  EXPECT_FALSE(login->isChecked());
  QMenu* quality = find_action(menu, "Quality: 128k")->menu();
  ASSERT_NE(quality, nullptr);
  ASSERT_EQ(quality->actions().size(), 4);
  for (QAction* a : quality->actions()) {
    EXPECT_TRUE(a->isCheckable());
    EXPECT_EQ(a->isChecked(), a->text() == "128 kbps") << a->text().toStdString();
    ASSERT_NE(a->actionGroup(), nullptr);
    EXPECT_TRUE(a->actionGroup()->isExclusive());
  }
  quality->actions()[1]->trigger();  // 256 kbps
  login->trigger();
  find_action(menu, "LAN · P2P")->trigger();  // an info line sends 0, like Windows
  find_action(menu, "Quit Tovik")->trigger();
  EXPECT_EQ(sink.dispatched, (std::vector<int>{2011, 2014, 0, 2006}));
}

TEST(QtMenuRenderer, RebuildsFromScratchAndAddsThePairingWindowItemOnlyWhenAsked) {
  offscreen_app();
  FakeSink sink;
  QMenu menu;
  int opened = 0;
  render_menu(menu, connected_model(), sink, [&opened] { ++opened; });
  render_menu(menu, connected_model(), sink, [&opened] { ++opened; });
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(menu.findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly).size(), 1)
      << "old submenus are deleted";
  QAction* item = find_action(menu, QString::fromUtf8(kShowPairingWindowLabel));
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(qobject_cast<QWidgetAction*>(menu.actions()[menu.actions().indexOf(item) - 1]));
  item->trigger();
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(sink.dispatched.empty());
  render_menu(menu, connected_model(), sink, nullptr);
  EXPECT_EQ(find_action(menu, QString::fromUtf8(kShowPairingWindowLabel)), nullptr);
}

TEST(QrPanelWidget, PaintsExactlyTheLayoutOfTheSink) {
  offscreen_app();
  FakeSink sink;
  QrPanelWidget panel(sink, nullptr);
  panel.resize(panel.sizeHint());
  QImage image(panel.size(), QImage::Format_RGB32);
  image.fill(Qt::red);
  panel.render(&image);
  QrPanelLayout layout = sink.qr_panel_layout({0, 0, panel.width(), panel.height()},
                                              panel.logicalDpiX(), panel.logicalDpiY());
  ASSERT_TRUE(layout.has_symbol);
  auto colour_at = [&image](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
  const PixelRect& w = layout.white_square;
  std::vector<std::vector<bool>> dark(image.height(), std::vector<bool>(image.width(), false));
  for (const PixelRect& m : layout.dark_modules) {
    for (int y = m.top; y < m.bottom; ++y) {
      for (int x = m.left; x < m.right; ++x) dark[y][x] = true;
    }
  }
  for (int y = w.top; y < w.bottom; ++y) {
    for (int x = w.left; x < w.right; ++x) {
      ASSERT_EQ(colour_at(x, y), dark[y][x] ? 0x000000u : 0xFFFFFFu) << x << "," << y;
    }
  }
  // Alone (not in a menu) the background is the window colour, not left unpainted.
  EXPECT_EQ(colour_at(1, 1), panel.palette().color(QPalette::Window).rgb() & 0xFFFFFF);
  // Some text pixels in the text column differ from the background.
  int ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = layout.text_rect.left; x < image.width(); ++x)
      ink += colour_at(x, y) != colour_at(1, 1);
  }
  EXPECT_GT(ink, 50);
  EXPECT_GE(panel.sizeHint().height(), layout.white_square.bottom);

  sink.code = "12345";  // no symbol: only the background
  image.fill(Qt::red);
  panel.render(&image);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(colour_at(x, y), colour_at(1, 1));
  }
}

TEST(QtTrayHost, CreateFailsWhenNoTrayAppears) {
  auto app = offscreen_app();
  QtTrayHostOptions options;
  options.tray_wait = std::chrono::milliseconds(0);
  TrayIcon tray(std::make_unique<QtTrayHost>(app, options));
  EXPECT_FALSE(tray.create({}));  // the offscreen platform has no tray
}
