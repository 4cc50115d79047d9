#include "app/error_code.h"

#include <gtest/gtest.h>

#include <string>

TEST(ErrorMessage, EveryCodeHasItsExactTextAndOthersAreUnknown) {
  const struct {
    int code;
    const char* text;
  } expected[] = {
      {0, "OK"},
      {1, "Connection timed out. Check that both devices are on the same network."},
      {2, "Connection denied by the transmitter."},
      {3, "Connection lost. Attempting to reconnect..."},
      {4, "No audio output device found. Check your sound settings."},
      {5, "Failed to capture audio. Another app may be using exclusive mode."},
      {6, "Audio codec error. Try restarting the stream."},
      {7, "Could not find any Tovik transmitters on this network."},
      {8, "Invalid argument."},
      {9, "Internal error. Please report this bug."},
  };
  for (const auto& row : expected) {
    EXPECT_STREQ(error_message(static_cast<ErrorCode>(row.code)), row.text) << row.code;
  }
  for (int code : {10, -1, 100, -2147483647 - 1, 2147483647}) {
    EXPECT_STREQ(error_message(static_cast<ErrorCode>(code)), "Unknown error") << code;
  }
}
