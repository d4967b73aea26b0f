// The rich-text view: runs of the reader put into a text buffer with tags.
#include "windows/RtfTextView.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velmora {

namespace {

// The tag of that name in the buffer's table, made by `setUp` the first time.
template <typename SetUp>
Glib::RefPtr<Gtk::TextTag> SharedTag(Gtk::TextBuffer& buffer, const Glib::ustring& name,
                                     SetUp setUp) {
  const Glib::RefPtr<Gtk::TextTagTable> table = buffer.get_tag_table();
  Glib::RefPtr<Gtk::TextTag> tag = table->lookup(name);
  if (!tag) {
    tag = Gtk::TextTag::create(name);
    setUp(*tag.get());
    table->add(tag);
  }
  return tag;
}

std::vector<Glib::RefPtr<Gtk::TextTag>> TagsOf(Gtk::TextBuffer& buffer, const RtfStyle& style) {
  std::vector<Glib::RefPtr<Gtk::TextTag>> tags;
  if (style.bold) {
    tags.push_back(SharedTag(
        buffer, "rtf-bold", [](Gtk::TextTag& tag) { tag.property_weight() = Pango::WEIGHT_BOLD; }));
  }
  if (style.italic) {
    tags.push_back(SharedTag(buffer, "rtf-italic", [](Gtk::TextTag& tag) {
      tag.property_style() = Pango::STYLE_ITALIC;
    }));
  }
  if (style.underline) {
    tags.push_back(SharedTag(buffer, "rtf-underline", [](Gtk::TextTag& tag) {
      tag.property_underline() = Pango::UNDERLINE_SINGLE;
    }));
  }
  const int halfPoints = style.fontSizeHalfPoints;
  tags.push_back(SharedTag(
      buffer, "rtf-size-" + std::to_string(halfPoints),
      [halfPoints](Gtk::TextTag& tag) { tag.property_size_points() = halfPoints / 2.0; }));
  if (!style.fontName.empty()) {
    const std::string& family = style.fontName;
    tags.push_back(SharedTag(buffer, "rtf-family-" + family,
                             [&family](Gtk::TextTag& tag) { tag.property_family() = family; }));
  }
  if (style.color) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(*style.color & 0xFFFFFF));
    const std::uint32_t rgb = *style.color;
    tags.push_back(SharedTag(buffer, std::string("rtf-color-") + hex, [rgb](Gtk::TextTag& tag) {
      Gdk::RGBA color;
      color.set_rgba_u(static_cast<gushort>(((rgb >> 16) & 0xFF) * 257),
                       static_cast<gushort>(((rgb >> 8) & 0xFF) * 257),
                       static_cast<gushort>((rgb & 0xFF) * 257));
      tag.property_foreground_rgba() = color;
    }));
  }
  return tags;
}

}  // namespace

void ShowRichText(Gtk::TextBuffer& buffer, const RtfDocument& document) {
  buffer.set_text("");
  for (const RtfRun& run : document.runs) {
    if (run.text.empty()) continue;
    buffer.insert_with_tags(buffer.end(), run.text, TagsOf(buffer, run.style));
  }
  buffer.place_cursor(buffer.begin());
}

bool LoadRtfFile(Gtk::TextView& view, const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error) || error) return false;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > kMaxRtfFileBytes) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string rtf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;

  ShowRichText(*view.get_buffer().get(), ReadRtf(rtf));
  view.set_editable(false);
  view.set_wrap_mode(Gtk::WRAP_WORD);
  return true;
}

}  // namespace velmora
