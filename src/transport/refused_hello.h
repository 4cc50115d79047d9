#pragma once

#include <cstdint>
#include <string>

namespace tovik {

enum class RefusalReason {
  NoCode,     // an unknown receiver sent no pairing code
  WrongCode,  // an unknown receiver sent a code that is not ours
};

// A HELLO that the transmitter turned away, as reported to the user.
struct RefusedHello {
  RefusalReason reason = RefusalReason::NoCode;
  std::string name;             // as the HELLO gave it (untrusted)
  std::uint32_t source_ip = 0;  // host byte order
};

}  // namespace tovik
