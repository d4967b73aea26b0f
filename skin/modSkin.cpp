#include "skin/modSkin.h"

#include <gtkmm/button.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/combobox.h>
#include <gtkmm/container.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/drawingarea.h>
#include <gtkmm/entry.h>
#include <gtkmm/filechooserwidget.h>
#include <gtkmm/frame.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/listbox.h>
#include <gtkmm/menubar.h>
#include <gtkmm/menuitem.h>
#include <gtkmm/notebook.h>
#include <gtkmm/progressbar.h>
#include <gtkmm/textview.h>
#include <gtkmm/treeview.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include "hosted/SkinControl.h"
#include "hosted/StatusBar.h"

namespace velmora {

SkinControl* sknShared = nullptr;
SkinCompanion* objSkinCompanion = nullptr;

namespace {

// Each widget kind of ours and the type name it stands for. Order matters: a more specific
// kind comes before the kind it derives from (a check button is a button).
struct KindName {
  bool (*is)(const Gtk::Widget&);
  std::string_view typeName;
};

template <typename T>
bool Is(const Gtk::Widget& widget) {
  return dynamic_cast<const T*>(&widget) != nullptr;
}

const std::array<KindName, 17> kKinds{{
    {Is<SkinLabel>, "SkinLabel"},
    {Is<Gtk::CheckButton>, "CheckBox"},
    {Is<Gtk::MenuItem>, "Menu"},
    {Is<Gtk::Button>, "CommandButton"},
    {Is<Gtk::Entry>, "TextBox"},
    {Is<Gtk::TextView>, "RichTextBox"},
    {Is<Gtk::ComboBox>, "ComboBox"},
    {Is<Gtk::FileChooserWidget>, "FileListBox"},
    {Is<Gtk::ListBox>, "ListBox"},
    {Is<Gtk::TreeView>, "ListView"},
    {Is<Gtk::Image>, "PictureBox"},
    {Is<Gtk::DrawingArea>, "PictureBox"},
    {Is<Gtk::Label>, "Label"},
    {Is<Gtk::Frame>, "Frame"},
    {Is<Gtk::Notebook>, "TabStrip"},
    {Is<StatusBar>, "StatusBar"},
    {Is<Gtk::ProgressBar>, "ProgressBar"},
}};

constexpr std::array<std::string_view, 7> kTextTypes{
    "TextBox", "ComboBox", "FileListBox", "DirListBox", "DriveListBox", "ListBox", "ListView"};

// Controls that hold controls of their own; the parts inside any other control (a button's
// picture and caption, a combo box's list, the status bar's panels) are not controls.
constexpr std::array<std::string_view, 3> kHolders{"", "Frame", "TabStrip"};

// Visits the window's controls, parents before children, in child order.
void Visit(Gtk::Widget& widget, const std::function<void(Gtk::Widget&)>& visit) {
  visit(widget);
  const std::string_view typeName = TypeNameOf(widget);
  if (std::find(kHolders.begin(), kHolders.end(), typeName) == kHolders.end()) return;
  if (auto* container = dynamic_cast<Gtk::Container*>(&widget)) {
    for (Gtk::Widget* child : container->get_children()) Visit(*child, visit);
  }
}

// One style provider per pair of colours, shared by every control that gets that pair.
Glib::RefPtr<Gtk::CssProvider> ProviderFor(const ControlColors& colors) {
  static std::map<std::pair<std::int64_t, std::int64_t>, Glib::RefPtr<Gtk::CssProvider>> cache;
  const std::pair<std::int64_t, std::int64_t> key{colors.background.value_or(-1),
                                                  colors.text.value_or(-1)};
  auto& provider = cache[key];
  if (!provider) {
    std::string css = "* {";
    if (colors.background) {
      css += " background-image: none; background-color: " + CssColor(*colors.background) + ";";
    }
    if (colors.text) css += " color: " + CssColor(*colors.text) + ";";
    css += " }";
    provider = Gtk::CssProvider::create();
    provider->load_from_data(css);
  }
  return provider;
}

}  // namespace

std::string_view TypeNameOf(const Gtk::Widget& widget) {
  // The browser panes are WebKit's own widgets: they keep the page's colours.
  if (std::string_view(G_OBJECT_TYPE_NAME(widget.gobj())) == "WebKitWebView") return "WebBrowser";
  for (const KindName& kind : kKinds) {
    if (kind.is(widget)) return kind.typeName;
  }
  return {};
}

ControlColors ColorsForTypeName(std::string_view typeName, std::uint32_t back, std::uint32_t fore,
                                std::uint32_t panel, std::uint32_t) {
  if (typeName == "CommandButton") return {back, std::nullopt};
  for (std::string_view textType : kTextTypes) {
    if (typeName == textType) return {back, fore};
  }
  if (typeName == "PictureBox") return {panel, std::nullopt};
  return {};
}

int ColorControls(Gtk::Window& window, std::uint32_t back, std::uint32_t fore, std::uint32_t panel,
                  std::uint32_t panelText) {
  int colored = 0;
  Visit(window, [&](Gtk::Widget& widget) {
    if (&widget == &window) return;
    const ControlColors colors =
        ColorsForTypeName(TypeNameOf(widget), back, fore, panel, panelText);
    if (!colors.background && !colors.text) return;
    widget.get_style_context()->add_provider(ProviderFor(colors),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    ++colored;
  });
  return colored;
}

int CopyLabelsToSkinLabels(Gtk::Window& window, std::vector<std::unique_ptr<SkinLabel>>& skinLabels,
                           bool templateContainerOnly) {
  if (skinLabels.empty() || skinLabels.front()->get_parent() == nullptr) {
    throw std::logic_error("the label pass needs a placed template skin label");
  }
  Gtk::Container* container = skinLabels.front()->get_parent();
  std::vector<Gtk::Label*> plain;
  Visit(window, [&](Gtk::Widget& widget) {
    if (TypeNameOf(widget) != "Label") return;
    if (templateContainerOnly && widget.get_parent() != container) return;
    plain.push_back(static_cast<Gtk::Label*>(&widget));
  });
  for (Gtk::Label* label : plain) {
    int left = 0;
    int top = 0;
    if (label->get_parent() == container) {
      // Placed in the same container: its place is the container's child position.
      gtk_container_child_get(container->gobj(), GTK_WIDGET(label->gobj()), "x", &left, "y", &top,
                              nullptr);
    } else {
      label->translate_coordinates(*container, 0, 0, left, top);
    }
    int width = 0;
    int height = 0;
    label->get_size_request(width, height);
    if (width < 0 || height < 0) {
      const Gtk::Allocation allocation = label->get_allocation();
      width = width < 0 ? allocation.get_width() : width;
      height = height < 0 ? allocation.get_height() : height;
    }

    auto skinLabel = std::make_unique<SkinLabel>();
    skinLabel->set_size_request(width, height);
    auto attributes = Pango::AttrList();
    auto font = Pango::Attribute::create_attr_font_desc(label->get_style_context()->get_font());
    attributes.insert(font);
    skinLabel->set_attributes(attributes);
    skinLabel->set_text(label->get_text());
    // The caption sits where the plain label puts it.
    skinLabel->set_xalign(label->get_xalign());
    skinLabel->set_yalign(label->get_yalign());
    skinLabel->set_line_wrap(label->get_line_wrap());
    skinLabel->set_justify(label->get_justify());
    skinLabel->set_visible(label->get_visible());
    gtk_container_add(container->gobj(), GTK_WIDGET(skinLabel->gobj()));
    gtk_container_child_set(container->gobj(), GTK_WIDGET(skinLabel->gobj()), "x", left, "y", top,
                            nullptr);
    skinLabels.push_back(std::move(skinLabel));
  }
  return static_cast<int>(plain.size());
}

void ApplySkin(Gtk::Window& window, SkinControl& skin) {
  ColorControls(window, skin.BackColor(), skin.ForeColor(), skin.PanelColor(),
                skin.PanelTextColor());
  skin.ApplyTo(window);
}

namespace {

std::function<void()>& SplashReloader() {
  static std::function<void()> reloader;
  return reloader;
}

bool TrySkinForm(Gtk::Window& window) {
  try {
    if (sknShared == nullptr) throw std::runtime_error("no skin is loaded");
    ApplySkin(window, *sknShared);
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velmora: cannot skin the window \"%s\": %s\n", window.get_title().c_str(),
                 error.what());
    return false;
  }
}

}  // namespace

void SetSplashReloader(std::function<void()> reloader) {
  SplashReloader() = std::move(reloader);
}

bool SkinForm(Gtk::Window& window) {
  if (TrySkinForm(window)) return true;
  // The splash skins itself while it reloads; if that fails too, it must not reload again.
  static bool reloading = false;
  if (reloading || !SplashReloader()) return false;
  struct Reloading {
    Reloading() { reloading = true; }
    ~Reloading() { reloading = false; }
  };
  {
    Reloading guard;
    SplashReloader()();
  }
  return TrySkinForm(window);
}

}  // namespace velmora
