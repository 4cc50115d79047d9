#include "app/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

TEST(AtomicFile, WritesTextModeBytesAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::string path = dir.path() + "/file.txt";
  test::write_file_bytes(path, "old content that is longer than the new one");
  EXPECT_TRUE(write_text_file_atomically(path, "a\nb\n"));
  EXPECT_EQ(test::read_file_bytes(path),
            std::string("a") + test::text_line_end() + "b" + test::text_line_end());
  EXPECT_FALSE(test::file_exists(path + ".tmp"));
}

TEST(AtomicFile, AStaleTemporaryFileFromACrashIsReused) {
  test::TempDir dir;
  const std::string path = dir.path() + "/file.txt";
  test::write_file_bytes(path + ".tmp", "half writ");
  EXPECT_TRUE(write_text_file_atomically(path, "whole"));
  EXPECT_EQ(test::read_file_bytes(path), "whole");
  EXPECT_FALSE(test::file_exists(path + ".tmp"));
}

TEST(AtomicFile, WhenTheTemporaryFileCannotBeMadeTheOldFileStays) {
  test::TempDir dir;
  const std::string path = dir.path() + "/file.txt";
  test::write_file_bytes(path, "old");
  std::filesystem::create_directory(path + ".tmp");
  EXPECT_FALSE(write_text_file_atomically(path, "new"));
  EXPECT_EQ(test::read_file_bytes(path), "old");
}

TEST(AtomicFile, WhenTheRenameFailsTheTemporaryFileIsRemoved) {
  test::TempDir dir;
  // A non-empty folder in the target's place cannot be replaced by a file.
  const std::string path = dir.path() + "/target";
  std::filesystem::create_directories(path + "/inside");
  EXPECT_FALSE(write_text_file_atomically(path, "new"));
  EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
  EXPECT_FALSE(test::file_exists(path + ".tmp"));
}

TEST(AtomicFile, MissingFolderFailsQuietly) {
  test::TempDir dir;
  EXPECT_FALSE(write_text_file_atomically(dir.path() + "/missing/file.txt", "x"));
  EXPECT_FALSE(test::file_exists(dir.path() + "/missing"));
}
