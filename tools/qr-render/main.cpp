// tovik-qr-render CODE OUT.png [SCALE]: writes the tray's QR symbol for a
// six-digit pairing code as a PNG with a four-module quiet zone.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qr_png.h"
#include "tray/qr_encoder.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: tovik-qr-render CODE OUT.png [SCALE>=4]\n");
    return 2;
  }
  int scale = argc == 4 ? std::atoi(argv[3]) : 8;
  if (scale < 4) {
    std::fprintf(stderr, "tovik-qr-render: scale must be at least 4\n");
    return 2;
  }
  auto matrix = QrEncoder::encode(argv[1]);
  if (!matrix) {
    std::fprintf(stderr, "tovik-qr-render: the code must be exactly six digits\n");
    return 1;
  }
  if (!write_qr_png(*matrix, argv[2], scale)) {
    std::fprintf(stderr, "tovik-qr-render: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
