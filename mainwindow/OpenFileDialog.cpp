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

}  // namespace velmora
