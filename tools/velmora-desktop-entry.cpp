// velmora-desktop-entry EXECUTABLE ICON OUTPUT: writes the desktop entry that runs EXECUTABLE,
// the same text Tools > Add program writes, for an installation (the install step runs it with
// the installed program's path). Not installed itself.
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "desktop/DesktopEntry.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: velmora-desktop-entry EXECUTABLE ICON OUTPUT\n");
    return 2;
  }
  const std::optional<std::string> text =
      velmora::desktop::DesktopEntryText(VELMORA_PRODUCT_NAME, argv[1], argv[2]);
  if (!text) {
    std::fprintf(stderr, "velmora-desktop-entry: no entry can run %s\n", argv[1]);
    return 1;
  }
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out << *text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "velmora-desktop-entry: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
