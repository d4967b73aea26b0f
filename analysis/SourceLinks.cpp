#include "analysis/SourceLinks.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "analysis/AnalyzePage.h"
#include "analysis/FlatSet.h"
#include "analysis/HtmlText.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

struct Match {
  std::uint32_t position;
  std::uint32_t id;
};

}  // namespace

// An Aho-Corasick automaton over the reversed names. Run over the text from its end, the state
// reached after reading position i knows the longest name that starts at i.
//
// Nodes are small (children as sibling lists) because the names of a hostile page can add up to
// the page's size; the root and its children, where most steps go, have full tables.
class PictureNameLinks::Matcher {
 public:
  explicit Matcher(const std::vector<Link>& links) {
    std::size_t totalLength = 1;
    for (const Link& link : links) totalLength += link.name.size();
    nodes_.reserve(totalLength);
    nodes_.emplace_back();
    lengths_.reserve(links.size());
    for (std::uint32_t id = 0; id < links.size(); ++id) Insert(links[id].name, id);
    BuildFailureLinks();
  }

  // The longest name starting at each position where one starts, in increasing position order.
  // Positions fit 32 bits: Places takes no longer text.
  std::vector<Match> LongestMatches(std::string_view text) const {
    std::vector<Match> matches;
    std::uint32_t state = kRoot;
    const auto& fromRoot = tables_[nodes_[kRoot].table];
    const unsigned char* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* p = begin + text.size();
    while (p != begin) {
      // Most of a page is read at the root, where most characters start no name: a tight loop
      // skips them.
      if (state == kRoot) {
        while (p != begin && fromRoot[p[-1]] == kNone) --p;
        if (p == begin) break;
      }
      --p;
      state = Next(state, *p);
      const std::int32_t out = nodes_[state].output;
      if (out >= 0) {
        matches.push_back({static_cast<std::uint32_t>(p - begin), static_cast<std::uint32_t>(out)});
      }
    }
    std::reverse(matches.begin(), matches.end());
    return matches;
  }

  std::size_t NameLength(std::uint32_t id) const { return lengths_[id]; }

 private:
  static constexpr std::uint32_t kRoot = 0;
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;
  static constexpr int kTableDepth = 3;     // nodes above this depth get tables
  static constexpr int kTableChildren = 8;  // and so does any node with this many children

  struct Node {
    std::uint32_t firstChild = kNone;
    std::uint32_t nextSibling = kNone;
    std::uint32_t fail = kRoot;
    std::int32_t output = -1;     // before BuildFailureLinks: the name ending here; after: the
                                  // longest name that is a suffix of this node's text
    std::uint32_t table = kNone;  // index into tables_ for nodes with a full table
    unsigned char byte = 0;
  };

  std::uint32_t Child(std::uint32_t node, unsigned char c) const {
    const Node& n = nodes_[node];
    if (n.table != kNone) return tables_[n.table][c];
    for (std::uint32_t child = n.firstChild; child != kNone; child = nodes_[child].nextSibling) {
      if (nodes_[child].byte == c) return child;
    }
    return kNone;
  }

  void Insert(std::string_view name, std::uint32_t id) {
    std::uint32_t state = kRoot;
    for (std::size_t i = name.size(); i-- > 0;) {
      const auto c = static_cast<unsigned char>(name[i]);
      std::uint32_t child = Child(state, c);
      if (child == kNone) {
        child = static_cast<std::uint32_t>(nodes_.size());
        Node node;
        node.byte = c;
        node.nextSibling = nodes_[state].firstChild;
        nodes_.push_back(node);
        nodes_[state].firstChild = child;
      }
      state = child;
    }
    if (nodes_[state].output < 0) nodes_[state].output = static_cast<std::int32_t>(id);
    lengths_.push_back(name.size());
  }

  void GiveTable(std::uint32_t node) {
    std::array<std::uint32_t, 256> table;
    table.fill(kNone);
    for (std::uint32_t child = nodes_[node].firstChild; child != kNone;
         child = nodes_[child].nextSibling) {
      table[nodes_[child].byte] = child;
    }
    nodes_[node].table = static_cast<std::uint32_t>(tables_.size());
    tables_.push_back(table);
  }

  // Nodes near the root and nodes with many children are where most steps go: they get full
  // tables. The number of tables is bounded by the number of nodes.
  void GiveTables() {
    std::vector<std::uint32_t> level{kRoot};
    for (int depth = 0; !level.empty(); ++depth) {
      std::vector<std::uint32_t> next;
      for (const std::uint32_t node : level) {
        int children = 0;
        for (std::uint32_t child = nodes_[node].firstChild; child != kNone;
             child = nodes_[child].nextSibling) {
          ++children;
          next.push_back(child);
        }
        if (depth < kTableDepth || children >= kTableChildren) GiveTable(node);
      }
      level = std::move(next);
    }
  }

  void BuildFailureLinks() {
    GiveTables();
    std::vector<std::uint32_t> queue;
    queue.reserve(nodes_.size());
    for (std::uint32_t child = nodes_[kRoot].firstChild; child != kNone;
         child = nodes_[child].nextSibling) {
      queue.push_back(child);
    }
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const std::uint32_t u = queue[head];
      if (nodes_[u].output < 0) nodes_[u].output = nodes_[nodes_[u].fail].output;
      for (std::uint32_t child = nodes_[u].firstChild; child != kNone;
           child = nodes_[child].nextSibling) {
        nodes_[child].fail = Next(nodes_[u].fail, nodes_[child].byte);
        queue.push_back(child);
      }
    }
    // A node with a table gets every transition in it, failure links followed in advance: a step
    // from such a node is one lookup. Shallower nodes come first, so the failure target's table
    // is complete when it is read.
    for (const std::uint32_t u : queue) {
      if (nodes_[u].table == kNone) continue;
      auto& table = tables_[nodes_[u].table];
      for (int c = 0; c < 256; ++c) {
        if (table[c] == kNone) table[c] = Next(nodes_[u].fail, static_cast<unsigned char>(c));
      }
    }
  }

  // The state after reading c in `state`, following failure links.
  std::uint32_t Next(std::uint32_t state, unsigned char c) const {
    for (;;) {
      const std::uint32_t child = Child(state, c);
      if (child != kNone) return child;
      if (state == kRoot) return kRoot;
      state = nodes_[state].fail;
    }
  }

  std::vector<Node> nodes_;
  std::vector<std::array<std::uint32_t, 256>> tables_;
  std::vector<std::size_t> lengths_;
};

bool InsideCharacterReference(std::string_view text, std::size_t pos) {
  constexpr std::size_t kLongestReference = 40;
  const std::size_t from = pos > kLongestReference ? pos - kLongestReference : 0;
  std::size_t amp = pos;  // scanning back, text[amp - 1] is the character looked at
  while (amp > from && text[amp - 1] != '&') {
    const char c = text[amp - 1];
    if (!g_ascii_isalnum(c) && c != '#') return false;
    --amp;
  }
  if (amp == 0 || text[amp - 1] != '&') return false;
  std::size_t end = amp;
  if (end < text.size() && text[end] == '#') {
    // Numeric: "&#" digits or "&#x" hex digits, the ";" optional.
    ++end;
    const bool hex = end < text.size() && (text[end] == 'x' || text[end] == 'X');
    if (hex) ++end;
    const std::size_t digits = end;
    while (end < text.size() && (hex ? g_ascii_isxdigit(text[end]) : g_ascii_isdigit(text[end])))
      ++end;
    if (end == digits) return false;
    if (end < text.size() && text[end] == ';') ++end;
  } else {
    // Named: letters and digits, then ";".
    while (end < text.size() && g_ascii_isalnum(text[end])) ++end;
    if (end == amp || end >= text.size() || text[end] != ';') return false;
    ++end;
  }
  return pos < end;
}

PictureNameLinks::PictureNameLinks(const ListPairs& lists, const std::vector<CensusImage>& census) {
  StringViewSet known;
  known.Reserve(lists.frmList[0].size() + lists.frmList[1].size() + census.size());
  const auto add = [&](std::string_view name, std::string_view url) {
    if (name.empty() || !IsLinkableUrl(url)) return;
    if (known.Insert(name)) links_.push_back({name, url});
  };
  for (int pair = 0; pair < 2; ++pair) {
    const auto& names = lists.frmList[pair];
    const auto& urls = lists.Links[pair];
    const std::size_t count = std::min(names.size(), urls.size());
    for (std::size_t i = 0; i < count; ++i) add(names[i], urls[i]);
  }
  // The names of the other URLs are made here; they must stay put while `links_` points at them.
  std::size_t others = 0;
  for (const CensusImage& image : census) others += image.alsoAt.size();
  censusNames_.reserve(others);
  for (const CensusImage& image : census) {
    add(image.name, image.url);
    for (const std::string& url : image.alsoAt) {
      censusNames_.push_back(ImageFileName(url));
      add(censusNames_.back(), url);
    }
  }
  if (!links_.empty()) matcher_ = std::make_unique<Matcher>(links_);
  hrefs_.resize(links_.size());
}

PictureNameLinks::~PictureNameLinks() = default;

std::vector<PictureNameLinks::Place> PictureNameLinks::Places(std::string_view text) const {
  std::vector<Place> places;
  if (!matcher_ || text.size() > std::numeric_limits<std::uint32_t>::max()) return places;
  std::size_t done = 0;
  for (const Match& match : matcher_->LongestMatches(text)) {
    if (match.position < done) continue;  // inside the name linked last
    const std::size_t end = match.position + matcher_->NameLength(match.id);
    if (InsideCharacterReference(text, match.position) ||
        (end < text.size() && InsideCharacterReference(text, end))) {
      continue;
    }
    places.push_back({match.position, end, match.id});
    done = end;
  }
  return places;
}

const std::string& PictureNameLinks::Href(std::uint32_t id) const {
  if (hrefs_[id].empty()) hrefs_[id] = html::EscapeAttribute(links_[id].url);
  return hrefs_[id];
}

}  // namespace velmora
