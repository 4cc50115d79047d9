#include "app/error_code.h"

#include <gtest/gtest.h>

TEST(ErrorMessage, EveryCodeHasItsExactTextAndOthersAreUnknown) {
  const char* const texts[] = {
      "OK",
      "Connection timed out. Check that both devices are on the same network.",
      "Connection denied by the transmitter.",
      "Connection lost. Attempting to reconnect...",
      "No audio output device found. Check your sound settings.",
      "Failed to capture audio. Another app may be using exclusive mode.",
      "Audio codec error. Try restarting the stream.",
      "Could not find any Tovik transmitters on this network.",
      "Invalid argument.",
      "Internal error. Please report this bug.",
  };
  for (int code = 0; code < 10; ++code) {
    EXPECT_STREQ(error_message(static_cast<ErrorCode>(code)), texts[code]) << code;
  }
  for (int code : {10, -1, -2147483647 - 1, 2147483647}) {
    EXPECT_STREQ(error_message(static_cast<ErrorCode>(code)), "Unknown error") << code;
  }
}
