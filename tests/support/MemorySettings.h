// Settings kept in memory for a window under test: what the window saves it reads back.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "mainwindow/Form1Seams.h"

namespace velmora::testing {

class MemorySettings : public Form1Seams {
 public:
  std::string GetSetting(std::string_view key, std::string_view defaultValue) const override {
    const auto kept = values.find(std::string(key));
    return kept == values.end() ? std::string(defaultValue) : kept->second;
  }
  void SaveSetting(std::string_view key, std::string_view value) const override {
    values[std::string(key)] = std::string(value);
  }

  mutable std::map<std::string, std::string> values;
};

}  // namespace velmora::testing
