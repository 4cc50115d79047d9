#include "app/shell/terminate_handler.h"

#include <cstdlib>
#include <exception>
#include <string>

#include "app/logs.h"

namespace {

[[noreturn]] void on_terminate() {
  debug_log("TERMINATE called - unhandled C++ exception");
  std::exception_ptr in_flight = std::current_exception();
  if (!in_flight) {
    // Reached by std::terminate() itself, e.g. a joinable thread destroyed.
    debug_log("No exception in flight");
  } else {
    try {
      std::rethrow_exception(in_flight);
    } catch (const std::exception& error) {
      debug_log((std::string("Exception: ") + error.what()).c_str());
    } catch (...) {
      debug_log("Unknown exception type");
    }
  }
  std::abort();
}

}  // namespace

void install_terminate_handler() { std::set_terminate(on_terminate); }
