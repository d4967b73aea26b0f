// The File > Open dialog: a modal open-file dialog that remembers the last file chosen.
#pragma once

#include <optional>
#include <string>

namespace Gtk {
class Window;
}

namespace velmora {

class OpenFileDialog {
 public:
  virtual ~OpenFileDialog() = default;

  // Shows the dialog, starting at FileName when there is one, and waits for it to close.
  // Returns the chosen file (also kept in FileName), or nothing when the user cancelled;
  // cancelling keeps FileName for the next time.
  virtual std::optional<std::string> ShowOpen(Gtk::Window& parent) = 0;

  std::string FileName;
};

// The dialog on Gtk::FileChooserDialog.
class GtkOpenFileDialog : public OpenFileDialog {
 public:
  std::optional<std::string> ShowOpen(Gtk::Window& parent) override;
};

}  // namespace velmora
