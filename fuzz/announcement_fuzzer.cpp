// The discovery announcement parser on arbitrary bytes: whatever it accepts
// must be consistent with the datagram, and an announcement rebuilt from the
// parsed fields must parse to the same fields.
#include "discovery/announcement.h"
#include "support/fuzz_support.h"

namespace {

bool same(const Announcement& a, const Announcement& b) {
  return a.name == b.name && a.port == b.port && a.id == b.id;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = as_text(data, size);
  Announcement parsed, reparsed;
  const AnnouncementParse result = parse_announcement(text.data(), size, &parsed);
  check((result == AnnouncementParse::NotTovik) == (text.rfind("TOVIK|", 0) != 0));
  if (result != AnnouncementParse::Ok) return 0;
  check(parsed.name.find('|') == std::string::npos);
  check(text.compare(size - parsed.id.size(), parsed.id.size(), parsed.id) == 0);
  const std::string again = build_announcement(parsed.name, parsed.port, parsed.id);
  check(parse_announcement(again.data(), again.size(), &reparsed) == AnnouncementParse::Ok &&
        same(parsed, reparsed));
  return 0;
}
