// The File menu's dialogs: Open, a modal open-file dialog that remembers the last file chosen,
// the folder for Save Images, and the file a list is exported to.
#pragma once

#include <filesystem>
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
  // Asks for the folder Save Images fills, proposing `proposed` (a new folder's name in an
  // existing one). The folder chosen may not exist yet; nothing when the user cancelled.
  virtual std::optional<std::filesystem::path> ShowSaveFolder(
      Gtk::Window& parent, const std::filesystem::path& proposed) = 0;
  // Asks for a file to write, with `title`, proposing `proposed`; a file that exists is replaced
  // only once the user has agreed. Nothing when the user cancelled.
  virtual std::optional<std::filesystem::path> ShowSaveFile(
      Gtk::Window& parent, const std::string& title, const std::filesystem::path& proposed) = 0;

  std::string FileName;
};

// The dialog on Gtk::FileChooserDialog.
class GtkOpenFileDialog : public OpenFileDialog {
 public:
  std::optional<std::string> ShowOpen(Gtk::Window& parent) override;
  std::optional<std::filesystem::path> ShowSaveFolder(
      Gtk::Window& parent, const std::filesystem::path& proposed) override;
  std::optional<std::filesystem::path> ShowSaveFile(Gtk::Window& parent, const std::string& title,
                                                    const std::filesystem::path& proposed) override;
};

}  // namespace velmora
