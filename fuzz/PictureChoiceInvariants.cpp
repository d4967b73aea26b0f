#include "fuzz/PictureChoiceInvariants.h"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <set>
#include <unordered_map>

#include "analysis/ImageCensus.h"
#include "analysis/PictureChoice.h"
#include "analysis/SavedPage.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

// Every part of the pattern language, with text that a name must keep safe.
constexpr const char* kPatterns[] = {"{name}", "{n}-{title}/{host}_{w}x{h}.{ext}", "../{title}",
                                     "{ext}", "{x}{}{"};

// Why `name` is no safe file name, or "".
std::string UnsafeName(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name == "." || name == "..") return "is a dot name";
  if (name.size() > NAME_MAX) return "is longer than NAME_MAX";
  if (!g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) {
    return "is not valid UTF-8";
  }
  for (const char c : name) {
    if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return "holds a slash or a control character";
    }
  }
  return "";
}

}  // namespace

std::string CheckPictureChoiceInvariants(const std::string& markup, const std::string& pageUrl) {
  const ReferenceResolver resolver(pageUrl);
  const std::vector<CensusImage> census = CensusFromMarkup(markup, resolver);
  const std::vector<PictureEntry> entries = OnePerPicture(census, ThumbnailLinks(markup, resolver));

  std::unordered_map<std::string, int> listed;
  for (const PictureEntry& entry : entries) {
    ++listed[entry.picture.url];
    for (const PictureVariant& other : entry.others) {
      if (other.url == entry.picture.url) return "an entry lists its own URL: " + other.url;
      ++listed[other.url];
    }
  }
  for (const CensusImage& image : census) {
    if (listed[image.url] != 1) {
      return "census URL in " + std::to_string(listed[image.url]) + " entries: " + image.url;
    }
  }

  // A link to any address of a picture finds an entry that has that address.
  for (const PictureEntry& entry : entries) {
    std::vector<std::string> addresses{entry.picture.url};
    for (const PictureVariant& other : entry.others) addresses.push_back(other.url);
    for (const std::string& address : addresses) {
      const std::optional<std::size_t> found = EntryWithAddress(entries, address);
      if (!found) return "no entry found for its address " + address;
      const PictureEntry& at = entries[*found];
      if (at.picture.url != address &&
          std::none_of(at.others.begin(), at.others.end(),
                       [&](const PictureVariant& other) { return other.url == address; })) {
        return "the entry found for " + address + " does not have it";
      }
    }
  }

  for (const PictureOrder order :
       {PictureOrder::Page, PictureOrder::Area, PictureOrder::Bytes, PictureOrder::Type}) {
    const std::vector<std::size_t> chosen = ChoosePictures(entries, {}, order);
    if (std::set<std::size_t>(chosen.begin(), chosen.end()).size() != entries.size() ||
        chosen.size() != entries.size()) {
      return "order " + std::string(PictureOrderName(order)) + " does not choose each entry once";
    }
    for (std::size_t i = 1; order == PictureOrder::Area && i < chosen.size(); ++i) {
      const CensusImage& a = entries[chosen[i - 1]].picture;
      const CensusImage& b = entries[chosen[i]].picture;
      if (std::int64_t(a.width) * a.height < std::int64_t(b.width) * b.height) {
        return "order area puts a smaller picture first";
      }
    }
  }

  const std::string title = FindTitle(markup);
  std::vector<const CensusImage*> pictures;
  for (const PictureEntry& entry : entries) pictures.push_back(&entry.picture);
  for (const char* text : kPatterns) {
    std::string error;
    const std::optional<NamePattern> pattern = NamePattern::Parse(text, error);
    if (!pattern) continue;
    std::set<std::string> seen;
    for (const std::string& name : NamesForSaving(pictures, *pattern, title)) {
      if (const std::string why = UnsafeName(name); !why.empty()) {
        return "pattern " + std::string(text) + ": the name '" + name + "' " + why;
      }
      gchar* folded = g_ascii_strdown(name.c_str(), -1);
      const bool added = seen.insert(folded).second;
      g_free(folded);
      if (!added) return "pattern " + std::string(text) + " names '" + name + "' twice";
    }
  }

  const std::filesystem::path folder = PageFolder(pageUrl, title);
  int parts = 0;
  for (const std::filesystem::path& part : folder) {
    ++parts;
    if (const std::string why = UnsafeName(part.string()); !why.empty()) {
      return "the page folder part '" + part.string() + "' " + why;
    }
  }
  if (parts != 2) return "the page folder '" + folder.string() + "' is not host/title";
  return "";
}

}  // namespace velmora
