// The main of the test programs that open windows: GoogleTest, then GTK (which needs a display;
// run-window-test.sh gives each program a virtual one).
#include <gtest/gtest.h>
#include <gtkmm/main.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  Gtk::Main kit(argc, argv);
  return RUN_ALL_TESTS();
}
