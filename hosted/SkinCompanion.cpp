#include "hosted/SkinCompanion.h"

#include <gtk/gtk.h>
#include <gtkmm/window.h>

#include <cstdio>
#include <exception>

#include "hosted/SkinControl.h"

namespace velmora {

SkinCompanion::~SkinCompanion() {
  End();
}

void SkinCompanion::Start() {
  if (hook_ != 0 || skin_ == nullptr) return;
  // An emission hook sees the "map" of every widget of the program; the class must exist first.
  g_type_class_unref(g_type_class_ref(GTK_TYPE_WIDGET));
  signal_ = g_signal_lookup("map", GTK_TYPE_WIDGET);
  hook_ = g_signal_add_emission_hook(signal_, 0, &SkinCompanion::OnWidgetMapped, this, nullptr);
}

void SkinCompanion::Detach(const SkinControl& skin) {
  if (skin_ != &skin) return;
  End();
  skin_ = nullptr;
}

void SkinCompanion::End() {
  if (hook_ == 0) return;
  g_signal_remove_emission_hook(signal_, hook_);
  hook_ = 0;
}

gboolean SkinCompanion::OnWidgetMapped(GSignalInvocationHint*, guint, const GValue* parameters,
                                       gpointer data) {
  auto* self = static_cast<SkinCompanion*>(data);
  GObject* object = static_cast<GObject*>(g_value_get_object(&parameters[0]));
  if (!GTK_IS_WINDOW(object)) return TRUE;
  GtkWidget* widget = GTK_WIDGET(object);
  if (gtk_style_context_has_class(gtk_widget_get_style_context(widget),
                                  SkinControl::kSkinnedClass)) {
    return TRUE;
  }
  try {
    self->skin_->ApplyTo(*Glib::wrap(GTK_WINDOW(widget)));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velmora: %s\n", error.what());
  }
  return TRUE;  // keep the hook
}

}  // namespace velmora
