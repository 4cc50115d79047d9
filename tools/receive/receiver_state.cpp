#include "receiver_state.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <random>

#include "app/app_data.h"
#include "app/atomic_file.h"
#include "transport/receiver_memory.h"

namespace {

std::vector<std::string> read_lines(const std::optional<std::string>& path, std::size_t most) {
  std::vector<std::string> lines;
  if (!path) return lines;
  std::ifstream file(*path);
  std::string line;
  while (lines.size() < most && std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.size() <= 64) lines.push_back(line);
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace

ReceiverState::ReceiverState(std::optional<std::string> folder) : folder_(std::move(folder)) {
  if (folder_) {
    const std::size_t parent = folder_->find_last_of("/\\");
    if (parent != std::string::npos) make_directory(folder_->substr(0, parent));
    make_directory(*folder_);
  }
  const std::vector<std::string> id = read_lines(path("receiver_id"), 1);
  // Transmitters trust this id as they trust the pairing code: only a
  // random one of our own is fit, never a name.
  if (!id.empty() && can_remember_receiver(id[0], std::string())) {
    id_ = id[0];
  } else {
    id_ = draw_receiver_id();
    if (auto file = path("receiver_id")) write_text_file_atomically(*file, id_ + "\n");
  }
  transmitters_ = read_lines(path("transmitters"), kMaxTransmitters);
}

void ReceiverState::remember_transmitter(const std::string& transmitter_id) {
  if (transmitter_id.empty() || transmitter_id.size() > 64) return;
  if (!transmitters_.empty() && transmitters_.back() == transmitter_id) return;
  transmitters_.erase(std::remove(transmitters_.begin(), transmitters_.end(), transmitter_id),
                      transmitters_.end());
  transmitters_.push_back(transmitter_id);
  if (transmitters_.size() > kMaxTransmitters) transmitters_.erase(transmitters_.begin());
  if (auto file = path("transmitters")) write_text_file_atomically(*file, joined(transmitters_));
}

std::optional<std::string> ReceiverState::path(const char* name) const {
  if (!folder_) return std::nullopt;
  return join_path(*folder_, name);
}

std::optional<std::string> receiver_state_folder() {
  std::optional<std::string> base = app_data_base();
  if (!base) return std::nullopt;
  return join_path(*base, "tovik-receive");
}

std::string draw_receiver_id() {
  std::random_device source;
  const std::uint64_t bits = (std::uint64_t{source()} << 32) | source();
  static const char kHex[] = "0123456789abcdef";
  std::string id = "rx-";
  for (int shift = 60; shift >= 0; shift -= 4) id += kHex[(bits >> shift) & 0xF];
  return id;
}
