// The encoder against a whole symbol worked out once and checked with an
// independent decoder (zbarimg reads 1,000 more in the half-block test), the
// mask choice, and the format words against an independent BCH code.
#include "tray/qr_encoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tray/qr_encoder_detail.h"

using qr_detail::read_format_bits;

TEST(QrEncode, AWholeSymbolOnlySixDigitsAndTheMaskOfLowestPenaltyWithItsFormatWord) {
  const std::vector<std::string> rows = {
      "#######....#..#######", "#.....#..####.#.....#", "#.###.#.#.#...#.###.#",
      "#.###.#.#...#.#.###.#", "#.###.#.###.#.#.###.#", "#.....#.##.#..#.....#",
      "#######.#.#.#.#######", "........#............", "#.#####..#.#..#####..",
      "..###...#######..####", ".##..##.#.#.#.##.#..#", "..##.#.###.####...###",
      "##...##...#.#..#...#.", "........#.#.#..#..#..", "#######...##.#..#.#.#",
      "#.....#.#......##.##.", "#.###.#.####.#..#.#..", "#.###.#.##.####..#...",
      "#.###.#.###.#.##.....", "#.....#..#.####..#.#.", "#######.##..#..#..#.."};
  std::vector<std::string> drawn(kQrSize);
  const QrMatrix m = *QrEncoder::encode("123456");
  for (int r = 0; r < kQrSize; ++r) {
    for (bool dark : m[r]) drawn[r] += dark ? '#' : '.';
  }
  EXPECT_EQ(drawn, rows);
  for (const char* bad : {"", "12345", "1234567", "12345a", " 12345", "12/456", "12:456"}) {
    EXPECT_FALSE(QrEncoder::encode(bad)) << bad;
  }
  EXPECT_FALSE(QrEncoder::encode(std::string({'1', '2', '3', '\0', '5', '6'})));
  // The first codes, counting up from 000000, that pick masks 0 to 7; 009990
  // ties masks 1 and 4, 010212 ties masks 2 and 4; the choice for 000023 hangs
  // on the weight of long runs.
  const char* codes[] = {"000000", "000363", "000013", "000150", "000002", "004011",
                         "011603", "000243", "009990", "010212", "000023"};
  const int masks[] = {0, 1, 2, 3, 4, 5, 6, 7, 1, 2, 4};
  for (int i = 0; i < 11; ++i) {
    const QrMatrix symbol = *QrEncoder::encode(codes[i]);
    EXPECT_EQ((read_format_bits(symbol, 1) ^ 0x5412) >> 10 & 7, masks[i]) << codes[i];
    EXPECT_EQ(read_format_bits(symbol, 1), read_format_bits(symbol, 2)) << codes[i];
  }
  // Level M (00) and the mask, then BCH(15,5) with generator 0x537, masked.
  for (int mask = 0; mask < 8; ++mask) {
    int rem = mask;
    for (int i = 0; i < 10; ++i) rem = (rem << 1) ^ ((rem >> 9) * 0x537);
    EXPECT_EQ(qr_detail::format_bits(mask), ((mask << 10) | rem) ^ 0x5412) << mask;
  }
}
