// mul_div must round exactly like the MulDiv the Win32 host would call, so
// that the panel's layout and the Windows painting agree pixel for pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include "tray/qr_panel.h"

TEST(MulDivWin32, AgreesWithMulDivOnPanelLengthsAndEdges) {
  for (int dpi = 1; dpi <= 480; ++dpi) {
    for (int n : {0, 1, 3, 12, 16, 20, 28, 80, 88, 200, -7, -200}) {
      ASSERT_EQ(mul_div(n, dpi, 96), MulDiv(n, dpi, 96)) << n << " * " << dpi;
    }
  }
  const int edges[][3] = {{5, 1, 2},           {-5, 1, 2},
                          {5, 1, -2},          {-5, -1, 2},
                          {7, 1, 0},           {2147483647, 2, 1},
                          {2147483647, 2, 2},  {-2147483647, 1, 1},
                          {-2147483647, 2, 1}, {1000000, 1000000, 3},
                          {3, 3, 6},           {1, 1, 3}};
  for (const auto& e : edges) {
    EXPECT_EQ(mul_div(e[0], e[1], e[2]), MulDiv(e[0], e[1], e[2]))
        << e[0] << " * " << e[1] << " / " << e[2];
  }
}
