#include "tray/qr_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tray/qr_encoder_detail.h"

using namespace qr_detail;

namespace {

DataBlock bytes16(std::vector<int> values) {
  DataBlock out{};
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(values[i]);
  return out;
}

// Independent check of a format word: BCH(15,5) with generator 0x537.
std::uint16_t bch_format_word(int level_bits, int mask) {
  int data = (level_bits << 3) | mask;
  int rem = data;
  for (int i = 0; i < 10; ++i) rem = (rem << 1) ^ ((rem >> 9) * 0x537);
  return static_cast<std::uint16_t>(((data << 10) | rem) ^ 0x5412);
}

int mask_of(const QrMatrix& m) { return ((read_format_bits(m, 1) ^ 0x5412) >> 10) & 7; }

QrCanvas base_of(const std::string& code) {
  return build_base(build_message(data_codewords(code)));
}

}  // namespace

TEST(QrCodewords, SixDigitsAreMode1Count6TwoGroupsTerminatorAndPads) {
  // 0001 0000000110 0001111011 0111001000 0000 00 -> 10 18 7B 72 00
  EXPECT_EQ(data_codewords("123456"), bytes16({0x10, 0x18, 0x7B, 0x72, 0x00, 0xEC, 0x11, 0xEC, 0x11,
                                               0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC}));
  EXPECT_EQ(data_codewords("000000"), bytes16({0x10, 0x18, 0x00, 0x00, 0x00, 0xEC, 0x11, 0xEC, 0x11,
                                               0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC}));
  // 999 = 1111100111: 0001 0000000110 1111100111 1111100111 0000 00
  EXPECT_EQ(data_codewords("999999"), bytes16({0x10, 0x1B, 0xE7, 0xF9, 0xC0, 0xEC, 0x11, 0xEC, 0x11,
                                               0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC}));
}

TEST(QrCodewords, AppendBitsTakesTheLowBitsMostSignificantFirst) {
  std::vector<bool> bits;
  append_bits(0xF5, 4, bits);  // low four bits 0101
  append_bits(1, 1, bits);
  EXPECT_EQ(bits, (std::vector<bool>{false, true, false, true, true}));
}

TEST(QrCodewords, OnlyExactlySixAsciiDigitsAreAccepted) {
  EXPECT_TRUE(is_six_digits("000000"));
  EXPECT_TRUE(is_six_digits("987654"));
  for (const char* bad : {"", "12345", "1234567", "12345a", " 12345", "12/456", "12:456"}) {
    EXPECT_FALSE(is_six_digits(bad)) << bad;
    EXPECT_FALSE(QrEncoder::encode(bad).has_value()) << bad;
  }
  EXPECT_FALSE(QrEncoder::encode(std::string("123\0"
                                             "56",
                                             6))
                   .has_value());
}

TEST(QrReedSolomon, GaloisProductAndGeneratorMatchTheFixedTable) {
  EXPECT_EQ(gf_multiply(0x80, 2), 0x1D);  // x^8 reduces to x^4+x^3+x^2+1
  EXPECT_EQ(gf_multiply(0, 0xAB), 0);
  EXPECT_EQ(gf_multiply(1, 0xAB), 0xAB);
  EXPECT_EQ(gf_multiply(3, 7), 9);  // (x+1)(x^2+x+1) = x^3+1
  std::array<std::uint8_t, 11> expected = {1, 216, 194, 159, 111, 199, 94, 95, 113, 157, 193};
  EXPECT_EQ(rs_generator(), expected);
}

TEST(QrReedSolomon, RemainderOfTheWellKnownHelloWorldBlock) {
  // The classic 1-M example "HELLO WORLD" in alphanumeric mode.
  DataBlock data = bytes16({32, 91, 11, 120, 209, 114, 220, 77, 67, 64, 236, 17, 236, 17, 236, 17});
  EccBlock expected = {196, 35, 39, 119, 235, 215, 231, 226, 93, 23};
  EXPECT_EQ(reed_solomon_remainder(data), expected);
  Message message = build_message(data);
  EXPECT_EQ(message[0], 32);
  EXPECT_EQ(message[15], 17);
  EXPECT_EQ(message[16], 196);
  EXPECT_EQ(message[25], 23);
}

TEST(QrFormat, WordsForLevelMMatchTheirBchComputation) {
  for (int mask = 0; mask < 8; ++mask) {
    EXPECT_EQ(format_bits(mask), bch_format_word(0 /* level M */, mask)) << mask;
    QrMatrix m{};
    draw_format_bits(format_bits(mask), m);
    EXPECT_EQ(read_format_bits(m, 1), format_bits(mask));
    EXPECT_EQ(read_format_bits(m, 2), format_bits(mask));
  }
  QrMatrix m{};
  draw_format_bits(0x4000, m);  // the first bit goes to (8,0) and (20,8)
  EXPECT_TRUE(m[8][0]);
  EXPECT_TRUE(m[20][8]);
  draw_format_bits(0x0001, m);  // the last bit goes to (0,8) and (8,20)
  EXPECT_TRUE(m[0][8]);
  EXPECT_TRUE(m[8][20]);
  EXPECT_FALSE(m[8][0]);
}

TEST(QrPatterns, FindersTimingDarkModuleAndReservedAreas) {
  QrCanvas c;
  draw_function_patterns(c);
  const int corners[3][2] = {{0, 0}, {0, 14}, {14, 0}};
  for (const auto& corner : corners) {
    for (int dy = 0; dy < 7; ++dy) {
      for (int dx = 0; dx < 7; ++dx) {
        bool ring = dy == 0 || dy == 6 || dx == 0 || dx == 6;
        bool core = dy >= 2 && dy <= 4 && dx >= 2 && dx <= 4;
        EXPECT_EQ(c.modules[corner[0] + dy][corner[1] + dx], ring || core)
            << corner[0] << "," << corner[1] << " +" << dy << "," << dx;
      }
    }
  }
  EXPECT_FALSE(c.modules[7][7]);  // separators
  EXPECT_FALSE(c.modules[7][13]);
  EXPECT_FALSE(c.modules[13][7]);
  EXPECT_TRUE(c.reserved[7][13] && c.reserved[13][0] && c.reserved[0][13]);
  for (int i = 8; i <= 12; ++i) {
    EXPECT_EQ(c.modules[6][i], i % 2 == 0) << i;
    EXPECT_EQ(c.modules[i][6], i % 2 == 0) << i;
  }
  EXPECT_TRUE(c.modules[13][8]);
  int free_modules = 0;
  for (const auto& row : c.reserved) {
    for (bool r : row) free_modules += r ? 0 : 1;
  }
  EXPECT_EQ(free_modules, 208);  // exactly the 26 codewords
}

TEST(QrPlacement, ZigzagStartsBottomRightAndTurnsAtTheFinder) {
  auto position_of = [&](int bit) {
    Message m{};
    m[static_cast<std::size_t>(bit / 8)] = static_cast<std::uint8_t>(0x80 >> (bit % 8));
    QrCanvas c;
    draw_function_patterns(c);
    QrCanvas before = c;
    place_data(m, c);
    for (int r = 0; r < kQrSize; ++r) {
      for (int col = 0; col < kQrSize; ++col) {
        if (c.modules[r][col] != before.modules[r][col]) return std::make_pair(r, col);
      }
    }
    return std::make_pair(-1, -1);
  };
  EXPECT_EQ(position_of(0), std::make_pair(20, 20));
  EXPECT_EQ(position_of(1), std::make_pair(20, 19));
  EXPECT_EQ(position_of(2), std::make_pair(19, 20));
  EXPECT_EQ(position_of(23), std::make_pair(9, 19));   // last of the upward pair
  EXPECT_EQ(position_of(24), std::make_pair(9, 18));   // next pair goes down
  EXPECT_EQ(position_of(207), std::make_pair(12, 0));  // last bit: pair 1/0, downward
}

TEST(QrPenalty, RunsAndBlocksScoreByRules1And2Only) {
  QrMatrix light{};
  EXPECT_EQ(penalty_score(light), 42 * 19 + 400 * 3);
  QrMatrix checker{};
  for (int r = 0; r < kQrSize; ++r) {
    for (int c = 0; c < kQrSize; ++c) checker[r][c] = (r + c) % 2 == 0;
  }
  EXPECT_EQ(penalty_score(checker), 0);
  QrMatrix run5 = checker;
  for (int c = 0; c < 5; ++c) run5[0][c] = true;
  EXPECT_EQ(penalty_score(run5), 3);
  QrMatrix run7 = checker;
  for (int c = 0; c < 7; ++c) run7[0][c] = true;
  EXPECT_EQ(penalty_score(run7), 5);
  QrMatrix block = checker;
  block[0][1] = block[1][0] = true;
  EXPECT_EQ(penalty_score(block), 3);
}

TEST(QrMask, ConditionsAndApplySkipReservedModules) {
  EXPECT_TRUE(mask_condition(0, 1, 1));
  EXPECT_FALSE(mask_condition(0, 1, 2));
  EXPECT_TRUE(mask_condition(1, 2, 5));
  EXPECT_TRUE(mask_condition(2, 7, 3));
  EXPECT_TRUE(mask_condition(3, 1, 2));
  EXPECT_TRUE(mask_condition(4, 2, 3));   // 1 + 1 even
  EXPECT_FALSE(mask_condition(4, 2, 0));  // 1 + 0 odd
  EXPECT_TRUE(mask_condition(5, 6, 1));   // 6: 0 + 0
  EXPECT_FALSE(mask_condition(5, 5, 1));
  EXPECT_TRUE(mask_condition(6, 6, 1));   // 6: (0 + 0) even
  EXPECT_FALSE(mask_condition(6, 5, 1));  // 5: (1 + 2) odd
  EXPECT_TRUE(mask_condition(7, 1, 3));   // (0 + 0) even
  EXPECT_FALSE(mask_condition(7, 2, 2));  // (0 + 1) odd
  QrCanvas c;
  draw_function_patterns(c);
  QrCanvas masked = c;
  apply_mask(0, masked);
  for (int r = 0; r < kQrSize; ++r) {
    for (int col = 0; col < kQrSize; ++col) {
      bool toggled = masked.modules[r][col] != c.modules[r][col];
      EXPECT_EQ(toggled, !c.reserved[r][col] && (r + col) % 2 == 0) << r << "," << col;
    }
  }
}

TEST(QrMask, LowestScoreWinsAndTiesKeepTheLowerMask) {
  EXPECT_EQ(lowest_score_index({5, 4, 4, 9, 9, 9, 9, 9}), 1);
  EXPECT_EQ(lowest_score_index({3, 3, 3, 3, 3, 3, 3, 3}), 0);
  EXPECT_EQ(lowest_score_index({9, 9, 9, 9, 9, 9, 9, 1}), 7);
  // Real codes whose best score is shared: 009990 by masks 1 and 4,
  // 010212 by masks 2 and 4.
  auto s1 = mask_scores(base_of("009990"));
  EXPECT_EQ(s1[1], s1[4]);
  EXPECT_EQ(mask_of(*QrEncoder::encode("009990")), 1);
  auto s2 = mask_scores(base_of("010212"));
  EXPECT_EQ(s2[2], s2[4]);
  EXPECT_EQ(mask_of(*QrEncoder::encode("010212")), 2);
}

TEST(QrEncode, EverySymbolCarriesItsPatternsAndTwoEqualFormatCopies) {
  // The first codes, counting up from 000000, that pick each mask.
  const char* per_mask[8] = {"000000", "000363", "000013", "000150",
                             "000002", "004011", "011603", "000243"};
  for (int mask = 0; mask < 8; ++mask) {
    auto m = QrEncoder::encode(per_mask[mask]);
    ASSERT_TRUE(m) << per_mask[mask];
    std::uint16_t first = read_format_bits(*m, 1);
    EXPECT_EQ(first, read_format_bits(*m, 2));
    EXPECT_EQ((first ^ 0x5412) >> 13, 0) << "level M";
    EXPECT_EQ(mask_of(*m), mask) << per_mask[mask];
    QrCanvas base = base_of(per_mask[mask]);
    for (int r = 0; r < kQrSize; ++r) {
      for (int c = 0; c < kQrSize; ++c) {
        // Finders, separators and timing keep their colour; row and
        // column 8 carry the format copies.
        if (base.reserved[r][c] && r != 8 && c != 8) {
          EXPECT_EQ((*m)[r][c], base.modules[r][c]) << "function module " << r << "," << c;
        }
      }
    }
    EXPECT_TRUE((*m)[13][8]);
    EXPECT_EQ(QrEncoder::encode(per_mask[mask]), m) << "deterministic";
  }
}
