// The discovery announcement parser on arbitrary bytes: whatever it accepts
// must be consistent with the datagram, and an announcement rebuilt from the
// parsed fields must parse to the same fields.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "discovery/announcement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  Announcement parsed;
  const AnnouncementParse result = parse_announcement(text, size, &parsed);
  const bool has_prefix = size >= 6 && std::string(text, 6) == "TOVIK|";
  if ((result == AnnouncementParse::NotTovik) == has_prefix) std::abort();
  if (result != AnnouncementParse::Ok) return 0;
  if (parsed.name.find('|') != std::string::npos) std::abort();
  if (parsed.name.size() + parsed.id.size() + 8 > size) std::abort();
  const std::string datagram(text, size);
  if (datagram.compare(size - parsed.id.size(), parsed.id.size(), parsed.id) != 0) std::abort();
  const std::string again = build_announcement(parsed.name, parsed.port, parsed.id);
  Announcement reparsed;
  if (parse_announcement(again.data(), again.size(), &reparsed) != AnnouncementParse::Ok ||
      reparsed.name != parsed.name || reparsed.port != parsed.port || reparsed.id != parsed.id) {
    std::abort();
  }
  return 0;
}
