// The tag reader: a small part of an HTML tokenizer, one function per state it needs (data,
// markup declaration, tag name, attributes, raw text), each named after what it looks for.
#include "analysis/HtmlTags.h"

#include <glib.h>

#include <array>

#include "analysis/HtmlText.h"
#include "analysis/TextSearch.h"

namespace velmora::html {

namespace {

using text::npos;

// U+0009 TAB, U+000A LF, U+000C FF, U+000D CR, U+0020 SPACE: the blanks between attributes.
constexpr bool IsTagBlank(char c) noexcept {
  return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

// Elements whose content is text up to their own end tag, never markup.
constexpr std::array<std::string_view, 8> kRawTextElements{
    "script", "style", "xmp", "iframe", "noembed", "noframes", "textarea", "title"};

bool IsRawTextElement(std::string_view name) noexcept {
  for (std::string_view raw : kRawTextElements) {
    if (name == raw) return true;
  }
  return false;
}

}  // namespace

bool IsAttributeName(const RawAttribute& a, std::string_view lowerName) noexcept {
  return a.name.size() == lowerName.size() && text::StartsWithNoCase(a.name, lowerName);
}

std::optional<std::string> Tag::Value(std::string_view name) const {
  for (const RawAttribute& a : attributes_) {
    if (IsAttributeName(a, name)) return DecodeCharacterReferences(a.value);
  }
  return std::nullopt;
}

bool Tag::Has(std::string_view name) const noexcept {
  for (const RawAttribute& a : attributes_) {
    if (IsAttributeName(a, name)) return true;
  }
  return false;
}

class TagReader {
 public:
  TagReader(std::string_view markup, const std::function<void(const Tag&)>& visit)
      : s_(markup), visit_(visit) {}

  void Run() {
    std::size_t i = 0;
    while (i != npos && i < s_.size()) i = Data(i);
  }

 private:
  // Text up to the next U+003C LESS-THAN SIGN (<). Returns where to go on, npos at the end.
  std::size_t Data(std::size_t i) {
    const std::size_t lt = s_.find('<', i);
    if (lt == npos || lt + 1 >= s_.size()) return npos;
    const char c = s_[lt + 1];
    if (c == '!') return MarkupDeclaration(lt + 2);
    if (c == '?') return BogusComment(lt + 2);
    if (c == '/') {
      // U+002F SOLIDUS (/): an end tag when a letter follows; "</>" is nothing.
      if (lt + 2 < s_.size() && g_ascii_isalpha(s_[lt + 2])) return TagOpen(lt + 2, true);
      if (lt + 2 < s_.size() && s_[lt + 2] == '>') return lt + 3;
      return BogusComment(lt + 2);
    }
    if (g_ascii_isalpha(c)) return TagOpen(lt + 1, false);
    return lt + 1;  // a "<" that starts nothing is text
  }

  // After "<!": a comment "<!-- ... -->", or a doctype or other declaration up to ">".
  std::size_t MarkupDeclaration(std::size_t i) {
    if (s_.substr(i, 2) == "--") {
      // "<!-->" and "<!--->" end at once, so the search for "-->" starts at the first "-".
      const std::size_t close = s_.find("-->", i);
      return close == npos ? npos : close + 3;
    }
    return BogusComment(i);
  }

  std::size_t BogusComment(std::size_t i) {
    const std::size_t gt = s_.find('>', i);
    return gt == npos ? npos : gt + 1;
  }

  // The tag name, then its attributes. Returns npos when the markup ends inside the tag.
  std::size_t TagOpen(std::size_t i, bool end) {
    tag_.name_.clear();
    tag_.end_ = end;
    tag_.selfClosing_ = false;
    tag_.attributes_.clear();
    while (i < s_.size() && !IsTagBlank(s_[i]) && s_[i] != '/' && s_[i] != '>') {
      tag_.name_.push_back(text::AsciiLower(s_[i]));
      ++i;
    }
    const std::size_t next = Attributes(i);
    if (next == npos) return npos;
    if (end) tag_.attributes_.clear();
    visit_(tag_);
    if (!end && IsRawTextElement(tag_.name_)) return RawText(next, tag_.name_);
    if (!end && tag_.name_ == "plaintext") return npos;  // the rest of the page is its text
    return next;
  }

  // Attributes up to U+003E GREATER-THAN SIGN (>); returns the position after it.
  std::size_t Attributes(std::size_t i) {
    for (;;) {
      while (i < s_.size() && IsTagBlank(s_[i])) ++i;
      if (i >= s_.size()) return npos;
      if (s_[i] == '>') return i + 1;
      if (s_[i] == '/') {
        // U+002F SOLIDUS (/) right before ">" closes the tag on itself; elsewhere it is a blank.
        if (i + 1 < s_.size() && s_[i + 1] == '>') {
          tag_.selfClosing_ = true;
          return i + 2;
        }
        ++i;
        continue;
      }
      // The name: its first character may even be "=".
      const std::size_t nameStart = i++;
      while (i < s_.size() && !IsTagBlank(s_[i]) && s_[i] != '/' && s_[i] != '>' && s_[i] != '=')
        ++i;
      RawAttribute attribute{s_.substr(nameStart, i - nameStart), {}};
      while (i < s_.size() && IsTagBlank(s_[i])) ++i;
      if (i < s_.size() && s_[i] == '=') {
        i = AttributeValue(i + 1, attribute.value);
        if (i == npos) return npos;
      }
      tag_.attributes_.push_back(attribute);
    }
  }

  // After "=": a quoted value to its closing quote, or an unquoted one to a blank or ">".
  std::size_t AttributeValue(std::size_t i, std::string_view& value) {
    while (i < s_.size() && IsTagBlank(s_[i])) ++i;
    if (i >= s_.size()) return npos;
    const char c = s_[i];
    if (c == '"' || c == '\'') {
      const std::size_t close = s_.find(c, i + 1);
      if (close == npos) return npos;
      value = s_.substr(i + 1, close - i - 1);
      return close + 1;
    }
    if (c == '>') return i;  // "name=>": an empty value, and the tag ends
    const std::size_t start = i;
    while (i < s_.size() && !IsTagBlank(s_[i]) && s_[i] != '>') ++i;
    value = s_.substr(start, i - start);
    return i;
  }

  // The content of a raw-text element: text up to "</name" followed by a blank, "/" or ">".
  std::size_t RawText(std::size_t i, const std::string& name) {
    const std::string closer = "</" + name;
    for (std::size_t at = text::FindNoCase(s_, closer, i); at != npos;
         at = text::FindNoCase(s_, closer, at + 1)) {
      const std::size_t after = at + closer.size();
      if (after >= s_.size() || IsTagBlank(s_[after]) || s_[after] == '/' || s_[after] == '>') {
        return at;
      }
    }
    return npos;
  }

  std::string_view s_;
  const std::function<void(const Tag&)>& visit_;
  Tag tag_;
};

void ForEachTag(std::string_view markup, const std::function<void(const Tag&)>& visit) {
  TagReader(markup, visit).Run();
}

}  // namespace velmora::html
