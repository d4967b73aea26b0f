// The rich-text view: every character of the buffer carries exactly its run's style through the
// tags, tags are shared, and loading a file that cannot be read changes nothing.
#include <gtest/gtest.h>
#include <gtkmm/main.h>
#include <gtkmm/textbuffer.h>
#include <gtkmm/textview.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "windows/RtfReader.h"
#include "windows/RtfTextView.h"

namespace velmora {
namespace {

constexpr const char* kHelpFile = VELMORA_HELP_RTF;

constexpr const char* kSample =
    R"({\rtf1\ansi\deff0{\fonttbl{\f0 Serif;}{\f1 Monospace;}})"
    R"({\colortbl;\red200\green16\blue32;\red0\green0\blue255;})"
    R"(plain {\b bold} {\i italic} {\ul under} {\cf1 red} {\fs40 big} {\f1 mono})"
    R"( {\b\i\cf2\fs16 all} caf\'e9\par end})";

// The style a character shows, read back from the tags at that place.
RtfStyle StyleAt(const Gtk::TextIter& at) {
  RtfStyle style;
  style.fontSizeHalfPoints = 0;  // none until a tag sets it
  for (const auto& tag : at.get_tags()) {
    if (tag->property_weight_set() && tag->property_weight() == Pango::WEIGHT_BOLD) {
      style.bold = true;
    }
    if (tag->property_style_set() && tag->property_style() == Pango::STYLE_ITALIC) {
      style.italic = true;
    }
    if (tag->property_underline_set() && tag->property_underline() == Pango::UNDERLINE_SINGLE) {
      style.underline = true;
    }
    if (tag->property_size_set()) {
      style.fontSizeHalfPoints = static_cast<int>(std::lround(tag->property_size_points() * 2));
    }
    if (tag->property_family_set()) style.fontName = tag->property_family().get_value();
    if (tag->property_foreground_set()) {
      const Gdk::RGBA color = tag->property_foreground_rgba().get_value();
      style.color = (static_cast<std::uint32_t>(color.get_red_u() / 257) << 16) |
                    (static_cast<std::uint32_t>(color.get_green_u() / 257) << 8) |
                    static_cast<std::uint32_t>(color.get_blue_u() / 257);
    }
  }
  return style;
}

// Every character of every run, in order, shows that run's style.
void ExpectBufferShows(Gtk::TextBuffer& buffer, const RtfDocument& document) {
  ASSERT_EQ(std::string(buffer.get_text()), document.Text());
  Gtk::TextIter at = buffer.begin();
  for (const RtfRun& run : document.runs) {
    const auto length = Glib::ustring(run.text).length();
    for (Glib::ustring::size_type i = 0; i < length; ++i, at.forward_char()) {
      ASSERT_EQ(StyleAt(at), run.style)
          << "character " << at.get_offset() << " of run \"" << run.text << "\"";
    }
  }
  EXPECT_TRUE(at.is_end());
}

TEST(RtfTextView, EveryRunShowsItsStyleOverItsRange) {
  const RtfDocument document = ReadRtf(kSample);
  ASSERT_GE(document.runs.size(), 10u);  // the sample really has its styled runs
  const Glib::RefPtr<Gtk::TextBuffer> buffer = Gtk::TextBuffer::create();
  buffer->set_text("old text");
  ShowRichText(*buffer.get(), document);
  EXPECT_EQ(std::string(buffer->get_text()).find("old text"), std::string::npos);
  ExpectBufferShows(*buffer.get(), document);

  // Spot checks of single places, independent of the reader.
  const auto styleOf = [&](const std::string& word) {
    const auto offset = Glib::ustring(std::string(buffer->get_text())).find(word);
    EXPECT_TRUE(offset != Glib::ustring::npos) << word;
    return StyleAt(buffer->get_iter_at_offset(static_cast<int>(offset)));
  };
  EXPECT_TRUE(styleOf("bold").bold);
  EXPECT_FALSE(styleOf("plain").bold);
  EXPECT_FALSE(styleOf(" italic").bold) << "the space after the bold group";
  EXPECT_EQ(styleOf("red").color, std::optional<std::uint32_t>(0xC81020));
  EXPECT_EQ(styleOf("big").fontSizeHalfPoints, 40);
  EXPECT_EQ(styleOf("plain").fontSizeHalfPoints, 24);
  EXPECT_EQ(styleOf("mono").fontName, "Monospace");
  EXPECT_EQ(styleOf("plain").fontName, "Serif");
  const RtfStyle all = styleOf("all");
  EXPECT_TRUE(all.bold && all.italic && !all.underline);
  EXPECT_EQ(all.color, std::optional<std::uint32_t>(0x0000FF));
  EXPECT_EQ(all.fontSizeHalfPoints, 16);
}

TEST(RtfTextView, TagsAreSharedByStyleAndReusedByLaterCalls) {
  const RtfDocument document =
      ReadRtf(R"({\rtf1 {\b one} two {\b three} {\b\i four} {\fs40 five} {\fs40\b six}})");
  const Glib::RefPtr<Gtk::TextBuffer> buffer = Gtk::TextBuffer::create();
  ShowRichText(*buffer.get(), document);
  const Glib::RefPtr<Gtk::TextTagTable> table = buffer->get_tag_table();
  // bold, italic, 12 pt and 20 pt: one tag each, however many runs use them.
  EXPECT_EQ(table->get_size(), 4);
  ASSERT_TRUE(table->lookup("rtf-bold"));
  const auto boldAt = [&](const char* word) {
    const auto offset = Glib::ustring(std::string(buffer->get_text())).find(word);
    return buffer->get_iter_at_offset(static_cast<int>(offset)).has_tag(table->lookup("rtf-bold"));
  };
  EXPECT_TRUE(boldAt("one"));
  EXPECT_TRUE(boldAt("four"));
  EXPECT_TRUE(boldAt("six"));
  EXPECT_FALSE(boldAt("two"));
  EXPECT_FALSE(boldAt("five"));

  ShowRichText(*buffer.get(), document);
  EXPECT_EQ(table->get_size(), 4) << "a second call makes no new tags";
  ExpectBufferShows(*buffer.get(), document);
}

TEST(RtfTextView, AnEmptyDocumentEmptiesTheBuffer) {
  const Glib::RefPtr<Gtk::TextBuffer> buffer = Gtk::TextBuffer::create();
  buffer->set_text("placeholder");
  ShowRichText(*buffer.get(), RtfDocument{});
  EXPECT_EQ(buffer->get_char_count(), 0);
}

TEST(RtfTextView, LoadingAFileShowsItReadOnlyAndWrapped) {
  const velmora::testing::TempFolder folder;
  const auto file = folder / "Help.rtf";
  velmora::testing::WriteFile(file, kSample);
  Gtk::TextView view;
  view.get_buffer()->set_text("placeholder");
  ASSERT_TRUE(LoadRtfFile(view, file));
  ExpectBufferShows(*view.get_buffer().get(), ReadRtf(kSample));
  EXPECT_FALSE(view.get_editable());
  EXPECT_EQ(view.get_wrap_mode(), Gtk::WRAP_WORD);
}

TEST(RtfTextView, AFileThatCannotBeReadChangesNothing) {
  const velmora::testing::TempFolder folder;
  const struct {
    const char* name;
    std::filesystem::path path;
  } cases[] = {
      {"missing file", folder / "missing.rtf"},
      {"a folder", folder.path()},
      {"in a missing folder", folder / "no-such-folder/Help.rtf"},
  };
  for (const auto& c : cases) {
    Gtk::TextView view;
    view.get_buffer()->set_text("keep me");
    view.set_editable(true);
    view.set_wrap_mode(Gtk::WRAP_NONE);
    EXPECT_FALSE(LoadRtfFile(view, c.path)) << c.name;
    EXPECT_EQ(std::string(view.get_buffer()->get_text()), "keep me") << c.name;
    EXPECT_TRUE(view.get_editable()) << c.name;
    EXPECT_EQ(view.get_wrap_mode(), Gtk::WRAP_NONE) << c.name;
  }
}

TEST(RtfTextView, TheShippedHelpFileLoads) {
  Gtk::TextView view;
  ASSERT_TRUE(LoadRtfFile(view, kHelpFile));
  const std::string text = view.get_buffer()->get_text();
  EXPECT_NE(text.find("Source Code"), std::string::npos);
  EXPECT_EQ(text.find('\\'), std::string::npos);
  ExpectBufferShows(*view.get_buffer().get(), ReadRtf(velmora::testing::ReadFile(kHelpFile)));
}

}  // namespace
}  // namespace velmora
