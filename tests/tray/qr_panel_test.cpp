#include "tray/qr_panel.h"

#include <gtest/gtest.h>

#include "tray/qr_encoder.h"

TEST(MulDiv, RoundsToNearestWithHalvesAwayFromZeroLikeWin32) {
  const int cases[][4] = {
      {200, 96, 96, 200},
      {80, 120, 96, 100},
      {1, 144, 96, 2},
      {5, 1, 2, 3},
      {-5, 1, 2, -3},
      {5, 1, -2, -3},
      {7, 1, 3, 2},
      {28, 110, 96, 32},
      {1, 2, 0, -1},
      {2147483647, 2, 1, -1},
      {2147483647, 2, 2, 2147483647},
  };
  for (const auto& c : cases) EXPECT_EQ(mul_div(c[0], c[1], c[2]), c[3]) << c[0] << "*" << c[1];
}

TEST(QrPanel, GeometryFollowsEachAxisResolution) {
  const struct {
    int dpi_x, dpi_y, width, height, module, x0, y0, square, text_left, text_right, font;
  } cases[] = {
      {96, 96, 200, 88, 3, 20, 12, 69, 98, 184, 28},
      {144, 144, 300, 132, 5, 30, 13, 115, 158, 276, 42},
      {120, 120, 250, 110, 4, 25, 13, 92, 128, 230, 35},  // 100 / 21 truncates to 4
  };
  for (const auto& c : cases) {
    const PixelSize size = qr_panel_item_size(c.dpi_x, c.dpi_y);
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
    const QrPanelLayout l = layout_qr_panel({0, 0, c.width, c.height}, c.dpi_x, c.dpi_y, "123456");
    ASSERT_TRUE(l.has_symbol);
    EXPECT_EQ(l.module_size, c.module) << c.dpi_x;
    EXPECT_EQ(l.x0, c.x0) << c.dpi_x;
    EXPECT_EQ(l.y0, c.y0) << c.dpi_x;
    EXPECT_EQ(l.white_square, (PixelRect{c.x0 - c.module, c.y0 - c.module,
                                         c.x0 - c.module + c.square, c.y0 - c.module + c.square}));
    EXPECT_EQ(l.text_rect, (PixelRect{c.text_left, 0, c.text_right, c.height})) << c.dpi_x;
    EXPECT_EQ(l.font_height, c.font) << c.dpi_x;
    EXPECT_EQ(l.text, "123 456");
  }
  const PixelSize mixed = qr_panel_item_size(120, 96);
  EXPECT_EQ(mixed.width, 250);
  EXPECT_EQ(mixed.height, 88);
}

TEST(QrPanel, DarkRectanglesAreExactlyTheDarkModulesOfTheSymbol) {
  const PixelRect item{10, 50, 210, 138};
  const QrPanelLayout l = layout_qr_panel(item, 96, 96, "654321");
  EXPECT_EQ(l.background, item);
  const QrMatrix m = *QrEncoder::encode("654321");
  std::size_t next = 0;
  for (int r = 0; r < kQrSize; ++r) {
    for (int c = 0; c < kQrSize; ++c) {
      if (!m[r][c]) continue;
      ASSERT_LT(next, l.dark_modules.size());
      EXPECT_EQ(l.dark_modules[next++],
                (PixelRect{30 + 3 * c, 62 + 3 * r, 33 + 3 * c, 65 + 3 * r}));
    }
  }
  EXPECT_EQ(next, l.dark_modules.size());
}

TEST(QrPanel, CodesOtherThanSixDigitsPaintOnlyTheBackground) {
  const PixelRect item{0, 0, 200, 88};
  for (const char* code : {"12345", "", "1234567", "12a456"}) {
    const QrPanelLayout l = layout_qr_panel(item, 96, 96, code);
    EXPECT_FALSE(l.has_symbol) << code;
    EXPECT_EQ(l.background, item);
    EXPECT_TRUE(l.dark_modules.empty() && l.text.empty()) << code;
  }
}
