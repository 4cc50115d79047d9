#include "qr_png.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace {

std::vector<png_byte> image_row(const QrMatrix& matrix, int y, int scale, int quiet) {
  const int side = (kQrSize + 2 * quiet) * scale;
  std::vector<png_byte> row(static_cast<std::size_t>(side), 255);
  int module_row = y / scale - quiet;
  if (module_row < 0 || module_row >= kQrSize) return row;
  for (int x = 0; x < side; ++x) {
    int module_col = x / scale - quiet;
    if (module_col >= 0 && module_col < kQrSize && matrix[module_row][module_col]) {
      row[static_cast<std::size_t>(x)] = 0;
    }
  }
  return row;
}

// libpng reports errors by longjmp; keep this frame free of C++ objects
// with destructors so the jump skips nothing.
bool write_rows(std::FILE* file, const std::vector<std::vector<png_byte>>& rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  const auto side = static_cast<png_uint_32>(rows.size());
  png_set_IHDR(png, info, side, side, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write_qr_png(const QrMatrix& matrix, const std::string& path, int scale, int quiet_modules) {
  if (scale < 1 || quiet_modules < 0) return false;
  const int side = (kQrSize + 2 * quiet_modules) * scale;
  std::vector<std::vector<png_byte>> rows;
  rows.reserve(static_cast<std::size_t>(side));
  for (int y = 0; y < side; ++y) rows.push_back(image_row(matrix, y, scale, quiet_modules));
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = write_rows(file, rows);
  return std::fclose(file) == 0 && ok;
}
