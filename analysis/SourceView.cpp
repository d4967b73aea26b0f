#include "analysis/SourceView.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/HtmlText.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  std::size_t run = 0;  // start of the run of characters copied as they are
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '<' && c != '\r' && c != '\n') continue;
    out.append(text.substr(run, i - run));
    out.append(c == '<' ? "&lt;" : "<BR>");
    run = i + 1;
  }
  out.append(text.substr(run));
}

struct Link {
  std::string_view name;
  std::string_view url;
};

// The names to link, each once, with the URL it links to.
std::vector<Link> CollectLinks(const ListPairs& lists) {
  std::vector<Link> links;
  std::unordered_map<std::string_view, std::size_t> index;
  for (int pair = 0; pair < 2; ++pair) {
    const auto& names = lists.frmList[pair];
    const auto& urls = lists.Links[pair];
    const std::size_t count = std::min(names.size(), urls.size());
    for (std::size_t i = 0; i < count; ++i) {
      if (names[i].empty() || !IsLinkableUrl(urls[i])) continue;
      if (index.emplace(names[i], links.size()).second) links.push_back({names[i], urls[i]});
    }
  }
  return links;
}

// An Aho-Corasick automaton over the reversed names. Run over the text from its end, the state
// reached before reading position i knows the longest name that starts at i.
class ReversedNameMatcher {
 public:
  explicit ReversedNameMatcher(const std::vector<Link>& links) {
    nodes_.emplace_back();
    for (std::size_t id = 0; id < links.size(); ++id) Insert(links[id].name, id);
    BuildFailureLinks();
  }

  // Pairs (position, link id) of the longest name starting at each position where one starts,
  // in increasing position order.
  std::vector<std::pair<std::size_t, std::uint32_t>> LongestMatches(std::string_view text) const {
    std::vector<std::pair<std::size_t, std::uint32_t>> matches;
    std::uint32_t state = 0;
    for (std::size_t i = text.size(); i-- > 0;) {
      state = Next(state, static_cast<unsigned char>(text[i]));
      const std::int64_t out = nodes_[state].longestOutput;
      if (out >= 0) matches.emplace_back(i, static_cast<std::uint32_t>(out));
    }
    std::reverse(matches.begin(), matches.end());
    return matches;
  }

  std::size_t NameLength(std::uint32_t id) const { return lengths_[id]; }

 private:
  struct Node {
    std::vector<std::pair<unsigned char, std::uint32_t>> children;  // sorted by byte
    std::uint32_t fail = 0;
    std::int64_t terminal = -1;       // link id of the name ending here
    std::int64_t longestOutput = -1;  // link id of the longest name that is a suffix here
  };

  static std::int64_t Child(const Node& node, unsigned char c) {
    const auto it = std::lower_bound(
        node.children.begin(), node.children.end(), c,
        [](const std::pair<unsigned char, std::uint32_t>& e, unsigned char b) {
          return e.first < b;
        });
    if (it == node.children.end() || it->first != c) return -1;
    return static_cast<std::int64_t>(it->second);
  }

  void Insert(std::string_view name, std::size_t id) {
    std::uint32_t state = 0;
    for (std::size_t i = name.size(); i-- > 0;) {
      const auto c = static_cast<unsigned char>(name[i]);
      std::int64_t child = Child(nodes_[state], c);
      if (child < 0) {
        child = static_cast<std::int64_t>(nodes_.size());
        auto& children = nodes_[state].children;
        children.insert(std::upper_bound(children.begin(), children.end(),
                                         std::make_pair(c, std::uint32_t{0}),
                                         [](const auto& a, const auto& b) {
                                           return a.first < b.first;
                                         }),
                        {c, static_cast<std::uint32_t>(child)});
        nodes_.emplace_back();
      }
      state = static_cast<std::uint32_t>(child);
    }
    if (nodes_[state].terminal < 0) nodes_[state].terminal = static_cast<std::int64_t>(id);
    if (lengths_.size() <= id) lengths_.resize(id + 1);
    lengths_[id] = name.size();
  }

  void BuildFailureLinks() {
    rootNext_.fill(0);
    for (const auto& [c, child] : nodes_[0].children) rootNext_[c] = child;
    std::vector<std::uint32_t> queue;
    queue.reserve(nodes_.size());
    for (const auto& [c, child] : nodes_[0].children) {
      nodes_[child].fail = 0;
      queue.push_back(child);
    }
    nodes_[0].longestOutput = -1;
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const std::uint32_t u = queue[head];
      Node& node = nodes_[u];
      node.longestOutput =
          node.terminal >= 0 ? node.terminal : nodes_[node.fail].longestOutput;
      for (const auto& [c, child] : node.children) {
        nodes_[child].fail = u == 0 ? 0 : Next(nodes_[u].fail, c);
        queue.push_back(child);
      }
    }
  }

  std::uint32_t Next(std::uint32_t state, unsigned char c) const {
    while (state != 0) {
      const std::int64_t child = Child(nodes_[state], c);
      if (child >= 0) return static_cast<std::uint32_t>(child);
      state = nodes_[state].fail;
    }
    return rootNext_[c];
  }

  std::vector<Node> nodes_;
  std::array<std::uint32_t, 256> rootNext_{};
  std::vector<std::size_t> lengths_;
};

}  // namespace

std::string EscapeSourceForView(std::string_view source) {
  std::string out;
  out.reserve(source.size() + source.size() / 16);
  AppendEscaped(out, source);
  return out;
}

std::string BuildSourceView(std::string_view source, const ListPairs& lists) {
  const std::vector<Link> links = CollectLinks(lists);
  if (links.empty()) return EscapeSourceForView(source);

  const ReversedNameMatcher matcher(links);
  std::string out;
  out.reserve(source.size() + source.size() / 8);
  std::size_t done = 0;
  for (const auto& [position, id] : matcher.LongestMatches(source)) {
    if (position < done) continue;  // inside a name linked already
    AppendEscaped(out, source.substr(done, position - done));
    const Link& link = links[id];
    out.append("<a href='");
    out.append(html::EscapeAttribute(link.url));
    out.append("'>");
    AppendEscaped(out, link.name);
    out.append("</a>");
    done = position + matcher.NameLength(id);
  }
  AppendEscaped(out, source.substr(done));
  return out;
}

}  // namespace velmora
