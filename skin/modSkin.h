// The skin of every window: the shared skin and its skin-support object, the colour pass over a
// window's ordinary controls, and SkinForm, which colours a window and applies the shared skin.
#pragma once

#include <gtkmm/container.h>
#include <gtkmm/widget.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "hosted/SkinLabel.h"

namespace velmora {

class SkinControl;
class SkinCompanion;

// The skin control every window is skinned through (the splash's), and the skin-support object
// attached to it; set by the splash's load.
extern SkinControl* sknShared;
extern SkinCompanion* objSkinCompanion;

// The kind of control a widget stands for, by the type names the colour pass knows
// ("CommandButton", "TextBox", "ListView", "PictureBox", "Label", ...); "" for widgets that
// stand for none (containers, separators).
std::string_view TypeNameOf(const Gtk::Widget& widget);

// What the colour pass gives a control of a type name (compared exactly, letter case
// included); an empty optional leaves that colour as it is.
struct ControlColors {
  std::optional<std::uint32_t> background;
  std::optional<std::uint32_t> text;
};
ControlColors ColorsForTypeName(std::string_view typeName, std::uint32_t back, std::uint32_t fore,
                                std::uint32_t panel, std::uint32_t panelText);

// Colours every control of the window, in the order of the window's widget tree, by its type
// name. Colours are 0x00BBGGRR values. Returns how many controls were coloured.
int ColorControls(Gtk::Window& window, std::uint32_t back, std::uint32_t fore, std::uint32_t panel,
                  std::uint32_t panelText);

// The label pass: for every plain label of the window, in widget-tree order, a new skin label
// is added to `skinLabels` (element 0 is the window's template) and placed in the template's
// container over the plain label, with its position, size, font, text and visibility. With
// `templateContainerOnly`, only labels in the template's container are taken. The plain labels
// are not changed. Returns how many skin labels were added.
int CopyLabelsToSkinLabels(Gtk::Window& window, std::vector<std::unique_ptr<SkinLabel>>& skinLabels,
                           bool templateContainerOnly);

// Reads the four colours from the skin, colours the window's controls and applies the skin to
// the window. Throws what the skin throws (a skin whose style sheet cannot be used).
void ApplySkin(Gtk::Window& window, SkinControl& skin);

// Skins the window through the shared skin (sknShared). When that fails (no shared skin because
// the splash is not loaded, or a skin that cannot be used), the splash reloader is called once
// and the window is skinned again; a second failure leaves the window in the desktop's own
// colours. Each failure is reported on standard error. Returns whether the window wears the
// skin.
bool SkinForm(Gtk::Window& window);

// What SkinForm calls to bring the splash back: it loads the splash, which publishes its skin
// as sknShared again, without letting the splash open another main window. An empty function
// (the default) means there is no splash to reload.
void SetSplashReloader(std::function<void()> reloader);

}  // namespace velmora
