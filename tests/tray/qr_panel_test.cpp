#include "tray/qr_panel.h"

#include <gtest/gtest.h>

#include "tray/qr_encoder.h"

TEST(MulDiv, RoundsToNearestWithHalvesAwayFromZero) {
  EXPECT_EQ(mul_div(200, 96, 96), 200);
  EXPECT_EQ(mul_div(80, 120, 96), 100);
  EXPECT_EQ(mul_div(1, 144, 96), 2);  // 1.5 rounds up
  EXPECT_EQ(mul_div(5, 1, 2), 3);
  EXPECT_EQ(mul_div(-5, 1, 2), -3);
  EXPECT_EQ(mul_div(5, 1, -2), -3);
  EXPECT_EQ(mul_div(7, 1, 3), 2);
  EXPECT_EQ(mul_div(28, 110, 96), 32);  // 32.08
  EXPECT_EQ(mul_div(1, 2, 0), -1);
  EXPECT_EQ(mul_div(2147483647, 2, 1), -1);
  EXPECT_EQ(mul_div(2147483647, 2, 2), 2147483647);
}

TEST(QrPanel, ItemSizeScalesWithEachAxis) {
  PixelSize s96 = qr_panel_item_size(96, 96);
  EXPECT_EQ(s96.width, 200);
  EXPECT_EQ(s96.height, 88);
  PixelSize s144 = qr_panel_item_size(144, 144);
  EXPECT_EQ(s144.width, 300);
  EXPECT_EQ(s144.height, 132);
  PixelSize mixed = qr_panel_item_size(120, 96);
  EXPECT_EQ(mixed.width, 250);
  EXPECT_EQ(mixed.height, 88);
}

TEST(QrPanel, GeometryAt96Dpi) {
  PixelRect item{10, 50, 210, 138};
  QrPanelLayout l = layout_qr_panel(item, 96, 96, "123456");
  ASSERT_TRUE(l.has_symbol);
  EXPECT_EQ(l.background, item);
  EXPECT_EQ(l.module_size, 3);
  EXPECT_EQ(l.x0, 30);
  EXPECT_EQ(l.y0, 62);
  EXPECT_EQ(l.white_square, (PixelRect{27, 59, 96, 128}));  // 69 pixels square
  EXPECT_EQ(l.text_rect, (PixelRect{108, 50, 194, 138}));
  EXPECT_EQ(l.font_height, 28);
  EXPECT_EQ(l.text, "123 456");
}

TEST(QrPanel, GeometryAt144Dpi) {
  PixelRect item{0, 0, 300, 132};
  QrPanelLayout l = layout_qr_panel(item, 144, 144, "123456");
  EXPECT_EQ(l.module_size, 5);
  EXPECT_EQ(l.x0, 30);
  EXPECT_EQ(l.y0, 13);
  EXPECT_EQ(l.white_square.right - l.white_square.left, 115);
  EXPECT_EQ(l.text_rect.left, 158);
  EXPECT_EQ(l.text_rect.right, 300 - 24);
  EXPECT_EQ(l.font_height, 42);
}

TEST(QrPanel, GeometryAt120DpiTruncatesTheModule) {
  PixelRect item{0, 0, 250, 110};
  QrPanelLayout l = layout_qr_panel(item, 120, 120, "123456");
  EXPECT_EQ(l.module_size, 4);  // 100 / 21, not 4.76
  EXPECT_EQ(l.x0, 25);
  EXPECT_EQ(l.y0, (110 - 84) / 2);
  EXPECT_EQ(l.dark_modules.back().bottom - l.dark_modules.front().top, 84);
  EXPECT_EQ(l.font_height, 35);
  EXPECT_EQ(l.text_rect.left, 25 + 88 + 15);
}

TEST(QrPanel, DarkRectanglesAreExactlyTheDarkModules) {
  PixelRect item{0, 0, 200, 88};
  QrPanelLayout l = layout_qr_panel(item, 96, 96, "654321");
  QrMatrix m = *QrEncoder::encode("654321");
  std::size_t next = 0;
  for (int r = 0; r < kQrSize; ++r) {
    for (int c = 0; c < kQrSize; ++c) {
      if (!m[r][c]) continue;
      ASSERT_LT(next, l.dark_modules.size());
      EXPECT_EQ(l.dark_modules[next], (PixelRect{20 + 3 * c, 12 + 3 * r, 23 + 3 * c, 15 + 3 * r}));
      ++next;
    }
  }
  EXPECT_EQ(next, l.dark_modules.size());
  QrPanelLayout again = layout_qr_panel(item, 96, 96, "654321");
  EXPECT_EQ(again.dark_modules.size(), l.dark_modules.size());
}

TEST(QrPanel, CodesOtherThanSixDigitsPaintOnlyTheBackground) {
  PixelRect item{0, 0, 200, 88};
  for (const char* code : {"12345", "", "1234567", "12a456"}) {
    QrPanelLayout l = layout_qr_panel(item, 96, 96, code);
    EXPECT_FALSE(l.has_symbol) << code;
    EXPECT_EQ(l.background, item);
    EXPECT_TRUE(l.dark_modules.empty());
    EXPECT_TRUE(l.text.empty());
  }
}
