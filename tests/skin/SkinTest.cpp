// The skin: its colours, the colour pass over every kind of control, and what a skinned window
// really shows on screen.
#include <gdkmm/pixbuf.h>
#include <gtest/gtest.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/drawingarea.h>
#include <gtkmm/entry.h>
#include <gtkmm/frame.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/layout.h>
#include <gtkmm/listbox.h>
#include <gtkmm/main.h>
#include <gtkmm/notebook.h>
#include <gtkmm/textview.h>
#include <gtkmm/treeview.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "hosted/SkinCompanion.h"
#include "hosted/SkinControl.h"
#include "hosted/StatusBar.h"
#include "skin/modSkin.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

constexpr std::uint32_t kBack = 0x0005537C;
constexpr std::uint32_t kFore = 0x00FEFFF2;
constexpr std::uint32_t kPanel = 0x00102030;
constexpr std::uint32_t kPanelText = 0x00405060;

std::filesystem::path SkinSheet() {
  return VELMORA_TEST_ASSETS "/skin/web-deep-red.css";
}

// The colour GTK draws a widget's background and text in, as 0x00BBGGRR.
struct Drawn {
  std::uint32_t background;
  std::uint32_t text;
};

std::uint32_t Bbggrr(const GdkRGBA& rgba) {
  const auto channel = [](double v) { return static_cast<std::uint32_t>(v * 255.0 + 0.5); };
  return channel(rgba.red) | channel(rgba.green) << 8 | channel(rgba.blue) << 16;
}

Drawn DrawnColors(Gtk::Widget& widget) {
  GtkStyleContext* context = widget.get_style_context()->gobj();
  GdkRGBA* background = nullptr;
  gtk_style_context_get(context, gtk_style_context_get_state(context), "background-color",
                        &background, nullptr);
  GdkRGBA text;
  gtk_style_context_get_color(context, gtk_style_context_get_state(context), &text);
  const Drawn drawn{Bbggrr(*background), Bbggrr(text)};
  gdk_rgba_free(background);
  return drawn;
}

// The skin's four colours, from its settings, head its style sheet as the colours its rules
// name; the skin's own rules follow.
TEST(SkinControl, TheStyleSheetNamesTheSettingsColours) {
  for (const auto& [value, css] : {std::pair{0x0005537Cu, "#7C5305"},
                                   {0x00FEFFF2u, "#F2FFFE"},
                                   {0x00000000u, "#000000"},
                                   {0x00FF0000u, "#0000FF"}}) {
    EXPECT_EQ(CssColor(value), css);
  }
  SkinSettings settings;
  settings.backColor = 0x00102030;
  settings.foreColor = 0x00405060;
  settings.panelColor = 0x00708090;
  settings.panelTextColor = 0x00A0B0C0;
  const std::string sheet = SkinControl(SkinSheet(), settings).StyleSheet();
  for (const auto& [name, css] : {std::pair{"skin_back", "#302010"},
                                  {"skin_fore", "#605040"},
                                  {"skin_panel", "#908070"},
                                  {"skin_panel_text", "#C0B0A0"}}) {
    EXPECT_NE(sheet.find(std::string("@define-color ") + name + " " + css + ";\n"),
              std::string::npos)
        << name << " in\n"
        << sheet;
  }
  const std::string rules = testing::ReadFile(SkinSheet());
  ASSERT_FALSE(rules.empty());
  EXPECT_EQ(sheet.substr(sheet.size() - rules.size()), rules);
}

TEST(SkinControl, AMissingOrBrokenSheetIsAnError) {
  testing::TempFolder dir;
  Gtk::Window window;
  SkinControl missing(dir / "none.css");
  EXPECT_THROW(missing.ApplyTo(window), std::runtime_error);
  testing::WriteFile(dir / "broken.css", "window { color: @no_such_colour; ");
  SkinControl broken(dir / "broken.css");
  EXPECT_THROW(broken.ApplyTo(window), std::runtime_error);
  EXPECT_FALSE(window.get_style_context()->has_class(SkinControl::kSkinnedClass));
}

TEST(ColorsForTypeName, ExactTypeNamesOnly) {
  const struct {
    std::string typeName;
    std::optional<std::uint32_t> background;
    std::optional<std::uint32_t> text;
  } cases[] = {
      {"CommandButton", kBack, std::nullopt},
      {"TextBox", kBack, kFore},
      {"ComboBox", kBack, kFore},
      {"FileListBox", kBack, kFore},
      {"DirListBox", kBack, kFore},
      {"DriveListBox", kBack, kFore},
      {"ListBox", kBack, kFore},
      {"ListView", kBack, kFore},
      {"PictureBox", kPanel, std::nullopt},
      {"Label", std::nullopt, std::nullopt},
      {"Frame", std::nullopt, std::nullopt},
      {"CheckBox", std::nullopt, std::nullopt},
      {"TabStrip", std::nullopt, std::nullopt},
      {"StatusBar", std::nullopt, std::nullopt},
      {"WebBrowser", std::nullopt, std::nullopt},
      {"SkinLabel", std::nullopt, std::nullopt},
      {"commandbutton", std::nullopt, std::nullopt},  // a near miss in letter case
      {"Textbox", std::nullopt, std::nullopt},
      {"PictureBox ", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const ControlColors colors = ColorsForTypeName(c.typeName, kBack, kFore, kPanel, kPanelText);
    EXPECT_EQ(colors.background, c.background) << c.typeName;
    EXPECT_EQ(colors.text, c.text) << c.typeName;
  }
}

TEST(ColorControls, EveryKindOfControlGetsItsColours) {
  Gtk::Window window;
  Gtk::Box box(Gtk::ORIENTATION_VERTICAL);
  Gtk::Button button("Go");
  Gtk::Entry entry;
  Gtk::ComboBoxText combo;
  Gtk::TreeView tree;
  Gtk::ListBox list;
  Gtk::TextView textView;
  Gtk::Image image;
  Gtk::DrawingArea drawing;
  Gtk::Label label("plain");
  Gtk::Frame frame("frame");
  Gtk::CheckButton check("check");
  Gtk::Notebook notebook;
  StatusBar status(20);
  struct Expected {
    Gtk::Widget* widget;
    std::string_view typeName;
    bool background;  // takes a colour of the pass
    bool text;
  };
  const std::vector<Expected> controls{
      {&button, "CommandButton", true, false}, {&entry, "TextBox", true, true},
      {&combo, "ComboBox", true, true},        {&tree, "ListView", true, true},
      {&list, "ListBox", true, true},          {&textView, "RichTextBox", false, false},
      {&image, "PictureBox", true, false},     {&drawing, "PictureBox", true, false},
      {&label, "Label", false, false},         {&frame, "Frame", false, false},
      {&check, "CheckBox", false, false},      {&notebook, "TabStrip", false, false},
      {&status, "StatusBar", false, false},
  };
  for (const Expected& c : controls) box.pack_start(*c.widget);
  window.add(box);
  std::vector<Drawn> before;
  for (const Expected& c : controls) before.push_back(DrawnColors(*c.widget));

  EXPECT_EQ(ColorControls(window, kBack, kFore, kPanel, kPanelText), 7);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const Expected& c = controls[i];
    EXPECT_EQ(TypeNameOf(*c.widget), c.typeName);
    const Drawn after = DrawnColors(*c.widget);
    const std::uint32_t expectedBackground =
        c.typeName == "PictureBox" ? kPanel : (c.background ? kBack : before[i].background);
    EXPECT_EQ(after.background, expectedBackground) << c.typeName;
    EXPECT_EQ(after.text, c.text ? kFore : before[i].text) << c.typeName;
  }
}

TEST(CopyLabelsToSkinLabels, OneSkinLabelOverEveryPlainLabel) {
  Gtk::Window window;
  Gtk::Box outer(Gtk::ORIENTATION_VERTICAL);
  Gtk::Layout frame;  // the template's container
  Gtk::Label url("URL:");
  Gtk::Label hidden("hidden");
  Gtk::Label outside("outside the frame");
  Gtk::Button button("not a label");
  frame.put(url, 10, 20);
  url.set_size_request(40, 18);
  url.set_xalign(0);
  hidden.set_line_wrap(true);
  frame.put(hidden, 70, 5);
  hidden.set_size_request(30, 12);
  outer.pack_start(frame);
  outer.pack_start(outside);
  outer.pack_start(button);
  window.add(outer);
  window.show_all();
  hidden.hide();
  while (Gtk::Main::events_pending()) Gtk::Main::iteration();

  for (const bool templateContainerOnly : {true, false}) {
    std::vector<std::unique_ptr<SkinLabel>> SkinLabel1;
    SkinLabel1.push_back(std::make_unique<SkinLabel>());
    frame.put(*SkinLabel1[0], 0, 0);
    SkinLabel1[0]->hide();

    const int added = CopyLabelsToSkinLabels(window, SkinLabel1, templateContainerOnly);
    // The template and earlier skin labels are not plain labels.
    EXPECT_EQ(added, templateContainerOnly ? 2 : 3);
    ASSERT_EQ(SkinLabel1.size(), static_cast<std::size_t>(added) + 1);
    EXPECT_EQ(SkinLabel1[1]->get_text(), "URL:");
    EXPECT_TRUE(SkinLabel1[1]->get_visible());
    EXPECT_EQ(frame.child_property_x(*SkinLabel1[1]).get_value(), 10);
    EXPECT_EQ(frame.child_property_y(*SkinLabel1[1]).get_value(), 20);
    int width = 0;
    int height = 0;
    SkinLabel1[1]->get_size_request(width, height);
    EXPECT_EQ(width, 40);
    EXPECT_EQ(height, 18);
    EXPECT_FLOAT_EQ(SkinLabel1[1]->get_xalign(), 0) << "the caption keeps its alignment";
    EXPECT_FALSE(SkinLabel1[1]->get_line_wrap());
    EXPECT_EQ(SkinLabel1[2]->get_text(), "hidden");
    EXPECT_TRUE(SkinLabel1[2]->get_line_wrap());
    EXPECT_FALSE(SkinLabel1[2]->get_visible()) << "visible exactly when its plain label is";
    if (!templateContainerOnly) {
      EXPECT_EQ(SkinLabel1[3]->get_text(), "outside the frame");
      EXPECT_EQ(SkinLabel1[3]->get_parent(), &frame)
          << "new skin labels go to the template's container";
    }
    EXPECT_EQ(url.get_text(), "URL:") << "plain labels are not changed";
    for (auto& skinLabel : SkinLabel1) frame.remove(*skinLabel);
  }

  std::vector<std::unique_ptr<SkinLabel>> unplaced;
  unplaced.push_back(std::make_unique<SkinLabel>());
  EXPECT_THROW(CopyLabelsToSkinLabels(window, unplaced, false), std::logic_error);
}

TEST(ApplySkin, ASkinnedWindowShowsTheSkinsBackColour) {
  SkinControl skin(SkinSheet());
  Gtk::Window window;
  window.set_default_size(200, 120);
  Gtk::Button button("Skinned");
  Gtk::Box box(Gtk::ORIENTATION_VERTICAL);
  box.pack_start(button, Gtk::PACK_SHRINK);
  window.add(box);
  ApplySkin(window, skin);
  EXPECT_TRUE(window.get_style_context()->has_class(SkinControl::kSkinnedClass));
  window.show_all();
  while (Gtk::Main::events_pending()) Gtk::Main::iteration();
  // Let the window be drawn: a few more turns of the loop after it is mapped.
  for (int i = 0; i < 50 && !window.get_mapped(); ++i) Gtk::Main::iteration(false);
  for (int i = 0; i < 20; ++i) {
    g_usleep(10000);
    while (Gtk::Main::events_pending()) Gtk::Main::iteration();
  }
  auto shot = Gdk::Pixbuf::create(window.get_window(), 0, 0, 200, 120);
  ASSERT_TRUE(shot);
  // A point below the button, where only the window's background is drawn.
  const guint8* pixel =
      shot->get_pixels() + 100 * shot->get_rowstride() + 100 * shot->get_n_channels();
  EXPECT_EQ(CssColor(static_cast<std::uint32_t>(pixel[0]) | pixel[1] << 8 | pixel[2] << 16),
            CssColor(skin.BackColor()));
}

TEST(SkinCompanion, WindowsOpenedLaterWearTheSkinUntilItEnds) {
  SkinControl skin(SkinSheet());
  SkinCompanion companion;
  companion.Start();
  EXPECT_FALSE(companion.Started()) << "nothing to apply before it is attached";
  companion.Attach(skin);
  companion.Start();
  EXPECT_TRUE(companion.Started());

  Gtk::Window dialog;
  EXPECT_FALSE(dialog.get_style_context()->has_class(SkinControl::kSkinnedClass));
  dialog.show();
  while (Gtk::Main::events_pending()) Gtk::Main::iteration();
  EXPECT_TRUE(dialog.get_style_context()->has_class(SkinControl::kSkinnedClass));

  companion.End();
  companion.End();
  EXPECT_FALSE(companion.Started());
  Gtk::Window later;
  later.show();
  while (Gtk::Main::events_pending()) Gtk::Main::iteration();
  EXPECT_FALSE(later.get_style_context()->has_class(SkinControl::kSkinnedClass));
}

}  // namespace
}  // namespace velmora
