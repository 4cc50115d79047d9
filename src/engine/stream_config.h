#pragma once

#include <string>
#include <vector>

// What the start-up wiring hands the streaming engine.
struct StreamConfig {
  std::string device_name = "Tovik PC";
  std::string device_id;
  // Ids of receivers that proved the pairing code in earlier runs, oldest
  // first: they may connect without it.
  std::vector<std::string> remembered_receivers;
};
