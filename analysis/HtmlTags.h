// Reading the tags of a page's markup the way an HTML parser reads them: tag names and
// attributes in any letter case, values quoted, unquoted or bare, character references decoded.
// Comments, doctypes and the text of script, style and the other raw-text elements are skipped,
// so an image tag written inside a script's string is not a tag.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::html {

// An attribute as the markup writes it: the name in any letter case, the value with its
// character references (use Tag::Value or DecodeCharacterReferences to read it).
struct RawAttribute {
  std::string_view name;
  std::string_view value;
};

// One tag. Its text points into the markup and into the reader's buffers: it is valid only
// during the visit.
class Tag {
 public:
  std::string_view Name() const noexcept { return name_; }  // in lower case
  bool IsEnd() const noexcept { return end_; }              // "</name>"; no attributes kept
  bool IsSelfClosing() const noexcept { return selfClosing_; }
  // In the order written. A name written twice counts once, its first time (as in a browser):
  // Value() reads that one, and users of this list skip the later ones.
  const std::vector<RawAttribute>& Attributes() const noexcept { return attributes_; }
  // The decoded value of the attribute `name` (lower case), or nothing when the tag has none.
  std::optional<std::string> Value(std::string_view name) const;
  bool Has(std::string_view name) const noexcept;

 private:
  friend class TagReader;
  std::string name_;
  bool end_ = false;
  bool selfClosing_ = false;
  std::vector<RawAttribute> attributes_;
};

// True when `a` is the attribute name `lowerName` in any letter case.
bool IsAttributeName(const RawAttribute& a, std::string_view lowerName) noexcept;

// Calls `visit` with every start and end tag of the markup, in order. A tag that the markup
// leaves unfinished at its end is dropped, as a browser drops it.
void ForEachTag(std::string_view markup, const std::function<void(const Tag&)>& visit);

}  // namespace velmora::html
