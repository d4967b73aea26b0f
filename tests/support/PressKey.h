// Presses a key in a window as GDK delivers one from the X server: it goes to the focused widget.
// For the window tests, which run on a (virtual) display.
#pragma once

#include <gtk/gtk.h>
#include <gtkmm/window.h>

namespace velmora::testing {

inline void PressKey(Gtk::Window& window, guint keyval, guint modifiers) {
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval,
                                    &keys, &count);
  GdkDevice* keyboard =
      gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default()));
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(window.get_window()->gobj()));
    event->key.send_event = FALSE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = modifiers;
    event->key.keyval = keyval;
    event->key.hardware_keycode = count > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
    event->key.group = count > 0 ? static_cast<guint8>(keys[0].group) : 0;
    gdk_event_set_device(event, keyboard);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
  g_free(keys);
}

}  // namespace velmora::testing
