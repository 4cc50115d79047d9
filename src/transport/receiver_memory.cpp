#include "transport/receiver_memory.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxIdSize = 64;
constexpr std::size_t kMaxNameSize = 64;
// What every tovik-receive sent before receivers drew ids of their own.
const char kOldFixedId[] = "rx-tovik-receive";

bool unfit_for_file(char c) { return c == '"' || c == '\\' || c == '{' || c == '}'; }

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

bool can_remember_receiver(const std::string& id, const std::string& name) {
  if (id.empty() || id.size() > kMaxIdSize || id == name || id == kOldFixedId) return false;
  return std::none_of(id.begin(), id.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte > 0x7E || unfit_for_file(c);
  });
}

std::string safe_receiver_name(const std::string& name) {
  std::string out;
  for (std::size_t i = 0; i < name.size() && out.size() < kMaxNameSize + 4; ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    // C1 controls (U+0080..U+009F) steer some terminals as ESC does.
    const bool c1 = byte == 0xC2 && i + 1 < name.size() &&
                    static_cast<unsigned char>(name[i + 1]) < 0xA0 &&
                    static_cast<unsigned char>(name[i + 1]) >= 0x80;
    if (c1) {
      ++i;
    } else if (!is_control(byte) && !unfit_for_file(name[i])) {
      out += name[i];
    }
  }
  if (out.size() <= kMaxNameSize) return out;
  std::size_t cut = kMaxNameSize;
  while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
  return out.substr(0, cut);
}

ReceiverMemory::ReceiverMemory(const std::vector<std::string>& ids) {
  for (const std::string& id : ids) {
    if (can_remember_receiver(id, std::string()) && !contains(id)) entries_.push_back({id});
  }
  if (entries_.size() > kCapacity) entries_.erase(entries_.begin(), entries_.end() - kCapacity);
}

bool ReceiverMemory::contains(const std::string& id) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& entry) { return entry.id == id; });
}

bool ReceiverMemory::remember(const std::string& id, std::int64_t now_ms) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& entry) { return entry.id == id; });
  Entry entry{id};
  if (it != entries_.end()) {
    entry = *it;
    entries_.erase(it);
  } else if (entries_.size() >= kCapacity) {
    entries_.erase(entries_.begin());
  }
  const bool record = !entry.recorded || now_ms - entry.recorded_ms >= kReportEveryMs;
  if (record) {
    entry.recorded = true;
    entry.recorded_ms = now_ms;
  }
  entries_.push_back(entry);
  return record;
}
