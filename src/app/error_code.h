#pragma once

#include <cstdint>
#include <memory>
#include <utility>

// Result of the engine's and the session's operations; 0 is success.
enum class ErrorCode : std::int32_t {
  Ok = 0,
  Timeout = 1,
  Denied = 2,
  ConnectionLost = 3,
  NoAudioDevice = 4,
  CaptureFailed = 5,
  CodecError = 6,
  NoTransmitters = 7,
  InvalidArgument = 8,
  InternalError = 9,
};

// The user-facing text of a code; static storage, never null.
const char* error_message(ErrorCode code);

// What a factory returns: the code, and the object only when the code is Ok.
template <class T>
struct Created {
  ErrorCode code = ErrorCode::Ok;
  std::unique_ptr<T> object;
};

// The same result, its object seen through a base class.
template <typename Base, typename T>
Created<Base> created_as(Created<T>&& created) {
  return Created<Base>{created.code, std::move(created.object)};
}
