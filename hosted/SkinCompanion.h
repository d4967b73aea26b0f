// The skin-support object: once attached to the skin control and started, every window the
// program opens later (dialogs such as the file chooser included) wears the skin when it is
// first shown, until it is ended.
#pragma once

#include <glib-object.h>

namespace velmora {

class SkinControl;

class SkinCompanion {
 public:
  SkinCompanion() = default;
  ~SkinCompanion();
  SkinCompanion(const SkinCompanion&) = delete;
  SkinCompanion& operator=(const SkinCompanion&) = delete;

  // The skin to apply.
  void Attach(SkinControl& skin) { skin_ = &skin; }
  // Called when a skin control goes away: if it is the attached one, the companion ends and
  // lets it go.
  void Detach(const SkinControl& skin);
  bool AttachedTo(const SkinControl& skin) const noexcept { return skin_ == &skin; }
  // From now on, windows shown for the first time are skinned.
  void Start();
  // Stops skinning new windows. Safe to call more than once.
  void End();

  bool Started() const noexcept { return hook_ != 0; }

 private:
  static gboolean OnWidgetMapped(GSignalInvocationHint*, guint, const GValue* parameters,
                                 gpointer data);

  SkinControl* skin_ = nullptr;
  gulong hook_ = 0;
  guint signal_ = 0;
};

}  // namespace velmora
