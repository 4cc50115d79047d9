#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What tovik-receive keeps between runs in a folder of its own: its id,
// drawn at random once (file "receiver_id"), under which transmitters
// remember it, and the device ids of the transmitters that accepted it, the
// latest last (file "transmitters", one a line), which it greets without a
// code. Without a folder the id is drawn afresh for the run.
class ReceiverState {
 public:
  static constexpr std::size_t kMaxTransmitters = 16;

  // Loads what `folder` holds, creating the folder and the id when missing.
  explicit ReceiverState(std::optional<std::string> folder);
  const std::string& id() const { return id_; }
  const std::vector<std::string>& transmitters() const { return transmitters_; }
  // Notes that this transmitter accepted us; the file is rewritten when
  // that is news or changes the order.
  void remember_transmitter(const std::string& transmitter_id);

 private:
  std::optional<std::string> path(const char* name) const;

  std::optional<std::string> folder_;
  std::string id_;
  std::vector<std::string> transmitters_;
};

// "tovik-receive" under the per-user base folder (APPDATA, else
// XDG_CONFIG_HOME, else ~/.config); nothing when there is none.
std::optional<std::string> receiver_state_folder();

// "rx-" and 16 random lowercase hex digits.
std::string draw_receiver_id();
