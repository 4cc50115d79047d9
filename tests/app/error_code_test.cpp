#include "app/error_code.h"

#include <gtest/gtest.h>

TEST(ErrorMessage, EveryCodeHasItsExactTextAndOthersAreUnknown) {
  std::string texts;
  for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -1, -2147483647 - 1, 2147483647}) {
    texts += error_message(static_cast<ErrorCode>(code)) + std::string("|");
  }
  EXPECT_EQ(texts,
            "OK|Connection timed out. Check that both devices are on the same network.|"
            "Connection denied by the transmitter.|Connection lost. Attempting to reconnect...|"
            "No audio output device found. Check your sound settings.|"
            "Failed to capture audio. Another app may be using exclusive mode.|"
            "Audio codec error. Try restarting the stream.|"
            "Could not find any Tovik transmitters on this network.|Invalid argument.|"
            "Internal error. Please report this bug.|Unknown error|Unknown error|Unknown error|"
            "Unknown error|");
}
