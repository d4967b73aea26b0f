// Shows a read rich-text document (windows/RtfReader.h) in a GTK text view: one text tag per
// style attribute, shared by every run that has it.
#pragma once

#include <gtkmm/textbuffer.h>
#include <gtkmm/textview.h>

#include <cstdint>
#include <filesystem>

#include "windows/RtfReader.h"

namespace velmora {

// Replaces the buffer's text with the document's runs. Each run carries the tags of its style:
// "rtf-bold", "rtf-italic", "rtf-underline", "rtf-size-<half-points>" (always; 12 pt when the
// document names no size), "rtf-family-<name>" (when the run names a font) and
// "rtf-color-RRGGBB" (when it names a colour). Tags are made once per buffer's tag table and
// reused by later calls.
void ShowRichText(Gtk::TextBuffer& buffer, const RtfDocument& document);

// Reads the RTF file, shows it in the view as ShowRichText does and makes the view read-only
// with word wrap. Returns false, changing nothing, when the file cannot be read (missing, not a
// regular file, unreadable, or larger than kMaxRtfFileBytes).
bool LoadRtfFile(Gtk::TextView& view, const std::filesystem::path& file);

// A help file beyond this size is not read.
inline constexpr std::uintmax_t kMaxRtfFileBytes = 64u * 1024u * 1024u;

}  // namespace velmora
