#include "transport/udp_socket.h"

#include <gtest/gtest.h>

#include "session_harness.h"

TEST(Ipv4Text, FormatsAndParsesOnlyStrictDottedDecimal) {
  EXPECT_EQ(format_ipv4(0x0A4D0001u), "10.77.0.1");
  EXPECT_EQ(parse_ipv4("10.77.0.2"), 0x0A4D0002u);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3",
                          "01.2.3.4", "1.2.3.-4", "a.b.c.d", "1.2.3.1000", "1.2.3."}) {
    EXPECT_FALSE(parse_ipv4(bad).has_value()) << bad;
  }
}

// A datagram longer than the receive buffer (the peer's is 4096 bytes), or an
// empty one, is no data, never a cut datagram.
TEST(UdpSocket, DeliversOnlyWholeDatagramsThatFit) {
  test::LoopbackPeer sender, receiver;
  for (const std::string& text : {std::string(4097, 'x'), std::string(), std::string(4096, 'y')}) {
    sender.send(text, receiver.port());
  }
  EXPECT_EQ(receiver.receive(), std::string(4096, 'y'));
}
