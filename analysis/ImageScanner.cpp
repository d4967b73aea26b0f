#include "analysis/ImageScanner.h"

#include <algorithm>
#include <cstring>

#include "analysis/FlatSet.h"
#include "analysis/HtmlText.h"
#include "analysis/TextSearch.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

using text::npos;

constexpr std::string_view kCrLf = "\r\n";

// Position of the first line break in [from, limit), or limit.
std::size_t LineEndBefore(std::string_view s, std::size_t from, std::size_t limit) {
  return text::FindLineBreak(s.substr(0, limit), from);
}

// The text with every line break (CR LF, CR or LF) read as one space.
std::string JoinLines(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      out.push_back(' ');
      i += text::LineBreakLength(s, i) - 1;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

}  // namespace

void ForEachTagLine(std::string_view page, const ScannerParams& params,
                    const std::function<void(std::string_view)>& visit) {
  const std::string_view opener = params.opener;
  std::size_t start = text::FindNoCase(page, opener);
  while (start != npos) {
    const std::size_t next = text::FindNoCase(page, opener, start + opener.size());
    const std::size_t limit = next == npos ? page.size() : next;
    const void* gtHit = std::memchr(page.data() + start, '>', limit - start);
    std::size_t end = limit;
    if (gtHit != nullptr) {
      const auto gt = static_cast<std::size_t>(static_cast<const char*>(gtHit) - page.data());
      end = LineEndBefore(page, gt, limit);
    }
    const std::string_view line = page.substr(start, end - start);
    if (text::FindLineBreak(line, 0) == line.size()) {
      visit(line);
    } else {
      visit(JoinLines(line));
    }
    start = next;
  }
}

bool HasImageExtension(std::string_view line) noexcept {
  for (std::size_t dot = line.find('.'); dot != npos; dot = line.find('.', dot + 1)) {
    const std::string_view rest = line.substr(dot);
    for (std::string_view extension : kImageExtensions) {
      if (text::StartsWithNoCase(rest, extension)) return true;
    }
  }
  return false;
}

std::string CutAttributeValue(std::string_view tagLine, std::string_view key) {
  const std::size_t keyAt = text::FindNoCase(tagLine, key);
  if (keyAt == npos) return {};
  const std::size_t gt = tagLine.find('>');
  // A ">" before the key closes the tag first: the key belongs to something else.
  if (gt != npos && gt < keyAt) return {};
  const std::size_t valueAt = keyAt + key.size();
  const std::string_view cut =
      tagLine.substr(valueAt, gt == npos ? npos : gt - valueAt);  // up to the tag's ">"
  std::string withoutHref;
  std::string_view restView = cut;
  if (text::ContainsNoCase(cut, "href=")) {
    withoutHref = text::ReplaceAllNoCase(cut, "href=", "");
    restView = withoutHref;
  }
  if (restView.empty()) return {};

  std::string_view value;
  if (restView.front() == '"' || restView.front() == '\'') {
    // A quoted value ends at its closing quote (or with the tag, when it has none).
    const std::size_t close = restView.find(restView.front(), 1);
    value = restView.substr(1, close == npos ? npos : close - 1);
  } else {
    // An unquoted value ends at the first blank.
    const auto blank = std::find_if(restView.begin(), restView.end(), text::IsAsciiBlank);
    value = restView.substr(0, static_cast<std::size_t>(blank - restView.begin()));
  }
  return value.find('"') == npos ? std::string(value) : text::RemoveChar(value, '"');
}

void ScanReferences(std::string_view page, const ReferenceResolver& resolver,
                    const ScannerParams& params, std::vector<std::string>& links,
                    std::vector<std::string>& names, TextSink& scratch) {
  std::string cleaned;
  if (!params.removeFirst.empty() && text::ContainsNoCase(page, params.removeFirst)) {
    cleaned = text::ReplaceAllNoCase(page, params.removeFirst, "");
    page = cleaned;
  }

  // The names recorded so far, as indexes into `names`.
  const auto nameAt = [&names](std::uint32_t i) { return std::string_view(names[i]); };
  FlatIndexSet seen;
  seen.Reserve(names.size());
  for (std::uint32_t i = 0; i < names.size(); ++i) {
    seen.Insert(i, FlatIndexSet::Hash(names[i]), nameAt);
  }
  ForEachTagLine(page, params, [&](std::string_view line) {
    scratch.Append(params.opener);
    scratch.Append(line.substr(params.opener.size()));
    scratch.Append(kCrLf);

    if (params.needsImageExtension && (line.find('>') == npos || !HasImageExtension(line))) {
      return;
    }
    const std::string value = CutAttributeValue(line, params.key);
    if (text::TrimAsciiBlanks(value).empty()) return;
    std::string name = CleanLinkValue(value);
    const std::size_t hash = FlatIndexSet::Hash(name);
    if (seen.Contains(name, hash, nameAt)) return;
    const std::string reference = html::DecodeCharacterReferences(value);
    std::optional<std::string> url =
        resolver.Resolve(reference, IsPlainRelativeReference(reference));
    if (!url) return;
    links.push_back(std::move(*url));
    names.push_back(std::move(name));
    seen.Insert(static_cast<std::uint32_t>(names.size() - 1), hash, nameAt);
  });
}

std::string ScanReferences(std::string_view page, const ReferenceResolver& resolver,
                           const ScannerParams& params, std::vector<std::string>& links,
                           std::vector<std::string>& names) {
  StringSink scratch;
  ScanReferences(page, resolver, params, links, names, scratch);
  scratch.Append(kCrLf);
  return scratch.Take();
}

}  // namespace velmora
