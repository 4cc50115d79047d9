#pragma once

#include <string>

// What the start-up wiring hands the streaming engine.
struct StreamConfig {
  std::string device_name = "Tovik PC";
  std::string device_id;
};
