// The terminal's QR drawing, and the encoder judged by an independent
// decoder: zbarimg reads a thousand codes drawn in half blocks, and the
// developer tool's PNG.
#include "tray/platform/posix/half_block_qr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tray/qr_encoder.h"

namespace {

// One pixel row per half line: true where the glyph puts ink.
std::vector<std::vector<bool>> ink_of(const std::vector<std::string>& lines) {
  std::vector<std::vector<bool>> rows;
  for (const std::string& line : lines) {
    std::vector<bool> upper, lower;
    for (std::size_t i = 0; i < line.size(); i += line[i] == ' ' ? 1 : 3) {
      const std::string g = line[i] == ' ' ? " " : line.substr(i, 3);
      EXPECT_TRUE(g == " " || g == "\u2588" || g == "\u2580" || g == "\u2584") << line;
      upper.push_back(g == "\u2588" || g == "\u2580");
      lower.push_back(g == "\u2588" || g == "\u2584");
    }
    rows.push_back(upper);
    rows.push_back(lower);
  }
  return rows;
}

// Ink is light (the terminal's text colour); blank shows the dark background.
void write_pgm(const std::vector<std::vector<bool>>& ink, const std::string& path, int scale) {
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << ink[0].size() * scale << " " << ink.size() * scale << "\n255\n";
  for (const std::vector<bool>& row : ink) {  // a line at a time: quick under the sanitizers
    std::string line;
    for (bool light : row) line.append(scale, light ? '\xFF' : '\0');
    for (int i = 0; i < scale; ++i) out << line;
  }
}

}  // namespace

TEST(HalfBlockQr, DrawsTheSymbolInsideALightQuietZoneAndRefusesABrokenLayout) {
  QrPanelLayout stray = layout_qr_panel({0, 0, 200, 88}, 96, 96, "123456");
  stray.dark_modules.push_back({stray.x0 + 30 * 3, stray.y0, stray.x0 + 31 * 3, stray.y0 + 3});
  EXPECT_FALSE(qr_matrix_from_layout(stray)) << "a module outside the symbol";
  const QrMatrix matrix = *QrEncoder::encode("123456");
  const auto ink = ink_of(half_block_lines(matrix));
  ASSERT_EQ(ink.size(), 30u);  // 29 rows, the last line padded with light
  for (int y = 0; y < 30; ++y) {
    ASSERT_EQ(ink[y].size(), 29u);
    for (int x = 0; x < 29; ++x) {
      const bool in_symbol = y >= 4 && y < 25 && x >= 4 && x < 25;
      EXPECT_EQ(ink[y][x], !in_symbol || !matrix[y - 4][x - 4]) << x << "," << y;
    }
  }
}

TEST(HalfBlockQr, ZbarimgReadsAThousandCodesDrawnInHalfBlocksAndTheToolsPng) {
  TOVIK_REQUIRE_TOOL("zbarimg");
  test::TempDir dir;
  // The first codes that choose masks 0 to 7, the largest, and random ones.
  std::vector<std::string> codes = {"000000", "000363", "000013", "000150", "000002",
                                    "004011", "011603", "000243", "999999"};
  std::mt19937 random(20261205);  // fixed seed: the same codes on every run
  while (codes.size() < 1000)
    codes.push_back(std::to_string(1000000 + random() % 1000000).substr(1));
  std::string expected;
  for (std::size_t i = 0; i < codes.size(); ++i) {  // named so that the shell lists them in order
    const std::string path = dir.path() + "/" + std::to_string(10000 + i) + ".pgm";
    write_pgm(ink_of(half_block_lines(*QrEncoder::encode(codes[i]))), path, 4 + i % 3);
    expected += codes[i] + "\n";
  }
  const std::string tool = TOVIK_QR_RENDER, png = dir.path() + "/tool.png";
  ASSERT_EQ(std::system((tool + " 042517 '" + png + "' 4").c_str()), 0);
  EXPECT_NE(std::system((tool + " 12345 '" + dir.path() + "/bad.png' 2>/dev/null").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/bad.png"));
  const std::string seen = dir.path() + "/seen";
  EXPECT_GE(
      std::system(
          ("zbarimg --nodbus -q --raw '" + dir.path() + "'/*.pgm '" + png + "' >" + seen).c_str()),
      0);
  EXPECT_EQ(test::read_file_bytes(seen), expected + "042517\n");
}
