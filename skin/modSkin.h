// The skin of every window: the colour pass over a window's ordinary controls, and SkinForm,
// which colours a window and applies the shared skin to it.
#pragma once

#include <gtkmm/container.h>
#include <gtkmm/widget.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "hosted/SkinLabel.h"

namespace velmora {

class SkinControl;

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
void SkinForm(Gtk::Window& window, SkinControl& skin);

}  // namespace velmora
