#include "storage/paired_devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

std::string entry(const std::string& id, const std::string& name, long long timestamp) {
  return "{\"id\":\"" + id + "\",\"name\":\"" + name +
         "\",\"timestamp\":" + std::to_string(timestamp) + "}";
}

// The file text for a list of entries, with the platform's line end.
std::string file_bytes(const std::vector<std::string>& entries) {
  std::string text = "[";
  for (std::size_t i = 0; i < entries.size(); ++i) text += (i ? "," : "") + entries[i];
  return text + "]" + test::text_line_end();
}

class PairedDevicesFile : public ::testing::Test {
 protected:
  std::string path() const { return app_data_.tovik_path("paired_devices.json"); }
  std::optional<std::string> stored() const { return test::read_file_bytes(path()); }

  test::AppDataScope app_data_{/*create_tovik_folder=*/false};
};

}  // namespace

TEST(PairedDevicesFormat, EntriesInListOrderOnOneLine) {
  EXPECT_EQ(format_paired_devices({}), "[]\n");
  std::vector<PairedDevice> devices{{"Phone", "Phone", 1700000000}, {"b", "Tablet X", -5}};
  EXPECT_EQ(format_paired_devices(devices),
            "[" + entry("Phone", "Phone", 1700000000) + "," + entry("b", "Tablet X", -5) + "]\n");
}

TEST(PairedDevicesParse, FindsObjectsByBracesAndSkipsEmptyIds) {
  std::string text =
      "[\n  {\"id\":\"a\",\n   \"name\":\"A\",\n   \"timestamp\":   17},\n"
      "  {\"name\":\"no id\",\"timestamp\":3},\n"
      "  {\"id\":\"\",\"name\":\"empty id\"},\n"
      "  {\"id\":\"b\"}\n]\n";
  std::vector<PairedDevice> devices = parse_paired_devices(text);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].id, "a");
  EXPECT_EQ(devices[0].name, "A");
  EXPECT_EQ(devices[0].timestamp, 17);
  EXPECT_EQ(devices[1].id, "b");
  EXPECT_EQ(devices[1].name, "");
  EXPECT_EQ(devices[1].timestamp, 0);
  EXPECT_TRUE(parse_paired_devices("").empty());
  EXPECT_TRUE(parse_paired_devices("[{\"id\":\"open\"").empty());
}

TEST(PairedDevicesParse, ANameWithAClosingBraceCutsTheEntryShort) {
  std::string text = "[" + entry("x}y", "x}y", 5) + "," + entry("next", "N", 6) + "]\n";
  std::vector<PairedDevice> devices = parse_paired_devices(text);
  // The first entry text ends inside its id: the id reads as empty, so it is
  // dropped, and the rest of it is skipped up to the next "{".
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].id, "next");
  std::string name_only = "[" + entry("id1", "a}b", 5) + "]\n";
  devices = parse_paired_devices(name_only);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].id, "id1");
  EXPECT_EQ(devices[0].name, "");
  EXPECT_EQ(devices[0].timestamp, 0);
}

TEST(PairedDevicesMerge, SameIdUpdatesTheFirstInPlaceElseAppends) {
  std::vector<PairedDevice> devices{{"a", "A", 1}, {"b", "B", 2}, {"a", "A again", 3}};
  merge_paired_device(devices, {"a", "renamed", 10});
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0].name, "renamed");
  EXPECT_EQ(devices[0].timestamp, 10);
  EXPECT_EQ(devices[2].name, "A again");
  EXPECT_EQ(devices[2].timestamp, 3);
  merge_paired_device(devices, {"A", "case differs", 11});
  ASSERT_EQ(devices.size(), 4u);
  EXPECT_EQ(devices[3].id, "A");
}

TEST(PairedDevicesTrim, DropsTheOldestFirstAndTheEarliestAmongEquals) {
  std::vector<PairedDevice> devices;
  for (int i = 0; i < 12; ++i) devices.push_back({"d" + std::to_string(i), "", 100 + i});
  devices[7].timestamp = -1;   // the oldest, wherever it stands
  devices[3].timestamp = 100;  // equals d0: d0 goes first
  trim_paired_devices(devices);
  ASSERT_EQ(devices.size(), 10u);
  EXPECT_EQ(devices[0].id, "d1");
  EXPECT_EQ(devices[2].id, "d3");
  EXPECT_EQ(devices[6].id, "d8");
  trim_paired_devices(devices, 2);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].id, "d10");
  EXPECT_EQ(devices[1].id, "d11");
}

TEST_F(PairedDevicesFile, FirstConnectionCreatesTheFileWithOneEntry) {
  add_paired_device({"Living room", "Living room", 1700000000});
  EXPECT_EQ(stored(), file_bytes({entry("Living room", "Living room", 1700000000)}));
  EXPECT_FALSE(test::file_exists(path() + ".tmp"));
}

TEST_F(PairedDevicesFile, SameNameAgainUpdatesTheTimestampInPlace) {
  add_paired_device({"a", "a", 1});
  add_paired_device({"b", "b", 2});
  add_paired_device({"a", "a", 3});
  EXPECT_EQ(stored(), file_bytes({entry("a", "a", 3), entry("b", "b", 2)}));
}

TEST_F(PairedDevicesFile, TenStoredPlusANewOneDropsTheOldest) {
  for (int i = 0; i < 10; ++i) {
    std::string id = "r" + std::to_string(i);
    add_paired_device({id, id, i == 4 ? 50 : 100 + i});
  }
  add_paired_device({"new", "new", 999});
  std::vector<std::string> expected;
  for (int i = 0; i < 10; ++i) {
    if (i != 4)
      expected.push_back(entry("r" + std::to_string(i), "r" + std::to_string(i), 100 + i));
  }
  expected.push_back(entry("new", "new", 999));
  EXPECT_EQ(stored(), file_bytes(expected));
}

TEST_F(PairedDevicesFile, HandEditedMultiLineFileLoadsAndIsRewrittenOnOneLine) {
  std::filesystem::create_directories(app_data_.tovik_path());
  test::write_file_bytes(path(), std::string("[") + test::text_line_end() +
                                     "  {\"id\":\"a\", \"name\":\"A\",\"timestamp\": 10}," +
                                     test::text_line_end() + "  {\"id\":\"a\",\"name\":\"dup\"," +
                                     test::text_line_end() + "   \"timestamp\":   20}" +
                                     test::text_line_end() + "]");
  add_paired_device({"c", "c", 30});
  EXPECT_EQ(stored(),
            file_bytes({entry("a", "A", 10), entry("a", "dup", 20), entry("c", "c", 30)}));
  add_paired_device({"a", "a", 40});  // duplicates stay; only the first is updated
  EXPECT_EQ(stored(),
            file_bytes({entry("a", "a", 40), entry("a", "dup", 20), entry("c", "c", 30)}));
}

TEST_F(PairedDevicesFile, ANameWithAClosingBraceLosesItsNameOnTheNextLoad) {
  add_paired_device({"r", "my}room", 5});
  EXPECT_EQ(stored(), file_bytes({entry("r", "my}room", 5)}));
  add_paired_device({"s", "s", 6});
  EXPECT_EQ(stored(), file_bytes({entry("r", "", 0), entry("s", "s", 6)}));
}

TEST_F(PairedDevicesFile, EmptyIdIsNeverStored) {
  add_paired_device({"", "nameless", 5});
  EXPECT_FALSE(test::file_exists(path()));
}

TEST_F(PairedDevicesFile, UnwritableFolderChangesNothingAndReportsNothing) {
  test::write_file_bytes(app_data_.tovik_path(), "not a folder");
  add_paired_device({"a", "a", 1});
  EXPECT_EQ(test::read_file_bytes(app_data_.tovik_path()), "not a folder");
}
