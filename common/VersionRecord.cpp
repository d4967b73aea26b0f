#include "common/VersionRecord.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace velmora {

std::optional<VersionRecord> ReadVersionRecord() {
  if (&kVersionNoteFields == nullptr) return std::nullopt;
  VersionRecord record;
  int versionsRead = 0;
  // "2.00" as {2, 0}.
  const auto version = [&versionsRead](const std::string& text, VersionNumber& number) {
    char after = 0;
    if (std::sscanf(text.c_str(), "%d.%d%c", &number.major, &number.minor, &after) == 2) {
      ++versionsRead;
    }
  };
  for (std::string_view rest(kVersionNoteFields.text, kVersionNoteFields.size); !rest.empty();) {
    const std::string_view field = rest.substr(0, rest.find('\0'));
    rest.remove_prefix(std::min(rest.size(), field.size() + 1));
    const std::size_t equals = std::min(field.find('='), field.size());
    const std::string_view key = field.substr(0, equals);
    const std::string value(field.substr(std::min(equals + 1, field.size())));
    if (key == "ProductName") record.productName = value;
    if (key == "CompanyName") record.companyName = value;
    if (key == "Comments") record.comments = value;
    if (key == "FileVersion") version(value, record.fileVersion);
    if (key == "ProductVersion") version(value, record.productVersion);
  }
  if (record.productName.empty() || record.companyName.empty() || record.comments.empty() ||
      versionsRead != 2) {
    return std::nullopt;
  }
  return record;
}

}  // namespace velmora
