#pragma once

#include <optional>
#include <string>

#include "storage/autostart.h"

// An in-memory autostart entry for tests: remembers the path last written.
class MemoryAutostart : public AutostartEntry {
 public:
  bool query() const override { return exe_path_.has_value(); }
  void write(const std::string& exe_path) override {
    exe_path_ = exe_path;
    ++writes_;
  }
  void remove() override { exe_path_.reset(); }

  const std::optional<std::string>& exe_path() const { return exe_path_; }
  int writes() const { return writes_; }

 private:
  std::optional<std::string> exe_path_;
  int writes_ = 0;
};
