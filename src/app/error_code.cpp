#include "app/error_code.h"

const char* error_message(ErrorCode code) {
  switch (code) {
    case ErrorCode::Ok:
      return "OK";
    case ErrorCode::Timeout:
      return "Connection timed out. Check that both devices are on the same network.";
    case ErrorCode::Denied:
      return "Connection denied by the transmitter.";
    case ErrorCode::ConnectionLost:
      return "Connection lost. Attempting to reconnect...";
    case ErrorCode::NoAudioDevice:
      return "No audio output device found. Check your sound settings.";
    case ErrorCode::CaptureFailed:
      return "Failed to capture audio. Another app may be using exclusive mode.";
    case ErrorCode::CodecError:
      return "Audio codec error. Try restarting the stream.";
    case ErrorCode::NoTransmitters:
      return "Could not find any Tovik transmitters on this network.";
    case ErrorCode::InvalidArgument:
      return "Invalid argument.";
    case ErrorCode::InternalError:
      return "Internal error. Please report this bug.";
  }
  return "Unknown error";
}
