#include "mainwindow/OpenFileDialog.h"

#include <gtkmm/filechooserdialog.h>
#include <gtkmm/window.h>

namespace velmora {

std::optional<std::string> GtkOpenFileDialog::ShowOpen(Gtk::Window& parent) {
  Gtk::FileChooserDialog dialog(parent, "Open", Gtk::FILE_CHOOSER_ACTION_OPEN);
  dialog.add_button("_Cancel", Gtk::RESPONSE_CANCEL);
  dialog.add_button("_Open", Gtk::RESPONSE_ACCEPT);
  dialog.set_default_response(Gtk::RESPONSE_ACCEPT);
  if (!FileName.empty()) dialog.set_filename(FileName);
  if (dialog.run() != Gtk::RESPONSE_ACCEPT) return std::nullopt;
  const std::string chosen = dialog.get_filename();
  if (chosen.empty()) return std::nullopt;
  FileName = chosen;
  return chosen;
}

namespace {

// A save dialog over `parent` that proposes `proposed`; the path chosen, or nothing.
std::optional<std::filesystem::path> AskWhereToSave(Gtk::Window& parent, const std::string& title,
                                                    const std::filesystem::path& proposed,
                                                    bool confirmReplace) {
  Gtk::FileChooserDialog dialog(parent, title, Gtk::FILE_CHOOSER_ACTION_SAVE);
  dialog.add_button("_Cancel", Gtk::RESPONSE_CANCEL);
  dialog.add_button("_Save", Gtk::RESPONSE_ACCEPT);
  dialog.set_default_response(Gtk::RESPONSE_ACCEPT);
  dialog.set_do_overwrite_confirmation(confirmReplace);
  dialog.set_current_folder(proposed.parent_path().string());
  dialog.set_current_name(proposed.filename().string());
  if (dialog.run() != Gtk::RESPONSE_ACCEPT) return std::nullopt;
  const std::string chosen = dialog.get_filename();
  if (chosen.empty()) return std::nullopt;
  return std::filesystem::path(chosen);
}

}  // namespace

// A save dialog names the new folder, which a folder chooser cannot propose; choosing an
// existing folder fills that one.
std::optional<std::filesystem::path> GtkOpenFileDialog::ShowSaveFolder(
    Gtk::Window& parent, const std::filesystem::path& proposed) {
  return AskWhereToSave(parent, "Save Images in Folder", proposed, false);
}

std::optional<std::filesystem::path> GtkOpenFileDialog::ShowSaveFile(
    Gtk::Window& parent, const std::string& title, const std::filesystem::path& proposed) {
  return AskWhereToSave(parent, title, proposed, true);
}

}  // namespace velmora
