#include "tray/platform/posix/half_block_qr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tray/qr_encoder.h"

namespace {

const std::string kFull = "\xE2\x96\x88";
const std::string kUpper = "\xE2\x96\x80";
const std::string kLower = "\xE2\x96\x84";

// One pixel row per half line: true where the glyph puts ink.
std::vector<std::vector<bool>> ink_of(const std::vector<std::string>& lines) {
  std::vector<std::vector<bool>> rows;
  for (const std::string& line : lines) {
    std::vector<bool> upper, lower;
    for (std::size_t i = 0; i < line.size();) {
      if (line[i] == ' ') {
        upper.push_back(false), lower.push_back(false), ++i;
        continue;
      }
      std::string g = line.substr(i, 3);
      EXPECT_TRUE(g == kFull || g == kUpper || g == kLower) << "unexpected glyph in " << line;
      upper.push_back(g == kFull || g == kUpper);
      lower.push_back(g == kFull || g == kLower);
      i += 3;
    }
    rows.push_back(upper);
    rows.push_back(lower);
  }
  return rows;
}

// Ink is light (the terminal's text colour); blank shows the dark background.
void write_pgm(const std::vector<std::vector<bool>>& ink, const std::string& path, int scale) {
  const int h = static_cast<int>(ink.size());
  const int w = static_cast<int>(ink[0].size());
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << w * scale << " " << h * scale << "\n255\n";
  for (int y = 0; y < h * scale; ++y) {
    for (int x = 0; x < w * scale; ++x) out.put(ink[y / scale][x / scale] ? '\xFF' : '\0');
  }
}

std::string zbar_decode(const std::string& path) {
  std::string out;
  FILE* pipe = popen(("zbarimg --nodbus -q --raw '" + path + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

}  // namespace

TEST(HalfBlockQr, RecoversTheSymbolFromPanelLayoutsAtAnyResolution) {
  for (const char* code : {"123456", "000000", "004011"}) {
    for (int dpi : {96, 120, 144}) {
      QrPanelLayout layout = layout_qr_panel({10, 20, 400, 200}, dpi, dpi, code);
      auto matrix = qr_matrix_from_layout(layout);
      ASSERT_TRUE(matrix.has_value()) << code << " at " << dpi;
      EXPECT_EQ(*matrix, *QrEncoder::encode(code)) << code << " at " << dpi;
    }
  }
  EXPECT_FALSE(qr_matrix_from_layout(layout_qr_panel({0, 0, 200, 88}, 96, 96, "12345")));
  QrPanelLayout stray = layout_qr_panel({0, 0, 200, 88}, 96, 96, "123456");
  stray.dark_modules.push_back({stray.x0 + 30 * 3, stray.y0, stray.x0 + 31 * 3, stray.y0 + 3});
  EXPECT_FALSE(qr_matrix_from_layout(stray)) << "a module outside the symbol is a broken layout";
}

TEST(HalfBlockQr, DrawsTwoModuleRowsPerLineInsideALightQuietZone) {
  QrMatrix matrix = *QrEncoder::encode("123456");
  std::vector<std::string> lines = half_block_lines(matrix, 4);
  ASSERT_EQ(lines.size(), 15u);  // 29 rows, the last line padded with light
  auto ink = ink_of(lines);
  ASSERT_EQ(ink.size(), 30u);
  for (const auto& row : ink) ASSERT_EQ(row.size(), 29u);
  for (int i = 0; i < 29; ++i) {
    for (int q = 0; q < 4; ++q) {
      EXPECT_TRUE(ink[q][i] && ink[i][q] && ink[28 - q][i] && ink[i][28 - q]) << "quiet zone";
    }
    EXPECT_TRUE(ink[29][i]) << "padding half row";
  }
  for (int r = 0; r < kQrSize; ++r) {
    for (int c = 0; c < kQrSize; ++c) EXPECT_EQ(ink[r + 4][c + 4], !matrix[r][c]) << r << "," << c;
  }
  EXPECT_EQ(half_block_lines(matrix, 1).size(), 12u);  // 23 rows
}

TEST(HalfBlockQr, TheTerminalDrawingDecodesWithZbarimg) {
  TOVIK_REQUIRE_TOOL("zbarimg");
  test::TempDir dir;
  for (const char* code : {"123456", "000000", "999999", "004011", "011603"}) {
    std::string path = dir.path() + "/" + code + ".pgm";
    write_pgm(ink_of(half_block_lines(*QrEncoder::encode(code))), path, 4);
    EXPECT_EQ(zbar_decode(path), code);
  }
}
