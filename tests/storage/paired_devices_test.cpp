#include "storage/paired_devices.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

std::string entry(const std::string& id, const std::string& name, long long timestamp) {
  return R"({"id":")" + id + R"(","name":")" + name + R"(","timestamp":)" +
         std::to_string(timestamp) + "}";
}

}  // namespace

// paired_devices.json as stored (none at first), the receiver that connects,
// and the file then: entries keyed by id, in file order, on one line.
TEST(PairedDevices, EachConnectionIsMergedByIdAndTheFileRewrittenOnOneLine) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  const std::string path = app_data.tovik_path("paired_devices.json");
  const struct {
    std::string stored;
    PairedDevice added;
    std::string file;
  } cases[] = {
      {"", {"rx-1", "Living room", 1700000000}, entry("rx-1", "Living room", 1700000000)},
      // Updated in place, the name too; of two equal ids only the first.
      {"[" + entry("a", "A", 1) + "," + entry("b", "B", 2) + "," + entry("a", "A2", 3) + "]",
       {"a", "renamed", 9},
       entry("a", "renamed", 9) + "," + entry("b", "B", 2) + "," + entry("a", "A2", 3)},
      // Hand-edited: objects found by their braces, each up to its first "}";
      // no id or an empty one drops it; strings end at their first quote; a
      // key is found where its whole pattern first occurs; a timestamp that
      // is no signed 64-bit number reads as 0.
      {"[\n {\"id\":\"h\", \"name\":\"H\",\n  \"timestamp\":   10},{\"name\":\"no id\"},\n "
       R"({"id":""},{"id":"x}y","name":"x}y"},{"id":"r","name":"my}room","timestamp":6},)"
       R"({"name":"say "id":"fake" now","id":"real"},{"device_id":"q","id":"k","name":"a\"b"},)"
       R"({"id":"1","timestamp":99999999999999999999},{"id":"2","timestamp":,"x":1},)"
       R"({"id":"3","timestamp":-12,"x":1}])",
       {"c", "c", 30},
       entry("h", "H", 10) + "," + entry("r", "", 0) + "," + entry("fake", "say ", 0) + "," +
           entry("k", "a\\", 0) + "," + entry("1", "", 0) + "," + entry("2", "", 0) + "," +
           entry("3", "", -12) + "," + entry("c", "c", 30)},
  };
  for (const auto& c : cases) {
    if (!c.stored.empty()) test::write_file_bytes(path, c.stored);
    add_paired_device(c.added);
    EXPECT_EQ(test::read_file_bytes(path), "[" + c.file + "]" + test::text_line_end()) << c.stored;
  }
  add_paired_device({"", "nameless", 5});  // never stored
  EXPECT_EQ(test::read_file_bytes(path), "[" + cases[2].file + "]" + test::text_line_end());

  // Twelve stored and one new: the three oldest go, the earlier of two equals first.
  std::string stored, kept;
  for (int i = 0; i < 12; ++i) {
    const std::string id = "d" + std::to_string(i);
    const long long timestamp = i == 5 ? -2 : i == 7 ? -1 : i == 3 ? 100 : 100 + i;
    stored += entry(id, id, timestamp) + ",";
    if (i != 0 && i != 5 && i != 7) kept += entry(id, id, timestamp) + ",";
  }
  test::write_file_bytes(path, "[" + stored + "]");
  add_paired_device({"new", "new", 999});
  EXPECT_EQ(test::read_file_bytes(path),
            "[" + kept + entry("new", "new", 999) + "]" + test::text_line_end());
}
