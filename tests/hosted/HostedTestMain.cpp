// The set-up of the hosted tests' program: GTK once, the shared engine and its sandbox folder,
// and the main-loop wait with its watchdog.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "tests/hosted/WindowTest.h"
#include "tests/support/TempFolder.h"

namespace velmora::testing {

namespace {

struct Shared {
  bool display = false;
  std::unique_ptr<TempFolder> sandbox;
  std::unique_ptr<BrowserEngine> engine;
};

Shared& State() {
  static Shared state;
  return state;
}

// Made before any test and gone after the last one, while GTK still runs: the engine's web
// context must not be torn down at exit.
class HostedEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    Shared& state = State();
    state.display = gtk_init_check(nullptr, nullptr);
    if (!state.display) return;
    Gtk::Main::init_gtkmm_internals();
    state.sandbox = std::make_unique<TempFolder>();
    state.engine = std::make_unique<BrowserEngine>(state.sandbox->path(), AssetsFolder());
  }
  void TearDown() override {
    Shared& state = State();
    state.engine.reset();
    state.sandbox.reset();
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new HostedEnvironment);

// A main-loop source that is ready as soon as the awaited condition holds. Its prepare step runs
// on every turn of the loop, so the condition is looked at after every event handled.
struct ConditionSource {
  GSource source;
  const std::function<bool()>* done;
  GMainLoop* loop;
};

gboolean ConditionPrepare(GSource* source, gint* timeout) {
  *timeout = -1;
  auto* self = reinterpret_cast<ConditionSource*>(source);
  return (*self->done)();
}

gboolean ConditionDispatch(GSource* source, GSourceFunc, gpointer) {
  g_main_loop_quit(reinterpret_cast<ConditionSource*>(source)->loop);
  return G_SOURCE_CONTINUE;
}

GSourceFuncs kConditionFuncs{ConditionPrepare, nullptr, ConditionDispatch,
                             nullptr,          nullptr, nullptr};

struct Watchdog {
  GMainLoop* loop;
  bool fired;
};

gboolean OnWatchdog(gpointer data) {
  auto* watchdog = static_cast<Watchdog*>(data);
  watchdog->fired = true;
  g_main_loop_quit(watchdog->loop);
  return G_SOURCE_REMOVE;
}

}  // namespace

bool DisplayAvailable() {
  return State().display;
}

BrowserEngine& SharedEngine() {
  return *State().engine;
}

const std::filesystem::path& SandboxFolder() {
  return State().sandbox->path();
}

std::filesystem::path AssetsFolder() {
  return VELMORA_TEST_ASSETS;
}

bool RunUntil(const std::function<bool()>& done, std::string_view what) {
  if (done()) return true;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  Watchdog watchdog{loop, false};
  const guint watchdogId = g_timeout_add_seconds(kWatchdogSeconds, OnWatchdog, &watchdog);
  GSource* condition = g_source_new(&kConditionFuncs, sizeof(ConditionSource));
  reinterpret_cast<ConditionSource*>(condition)->done = &done;
  reinterpret_cast<ConditionSource*>(condition)->loop = loop;
  g_source_attach(condition, nullptr);

  g_main_loop_run(loop);

  g_source_destroy(condition);
  g_source_unref(condition);
  if (!watchdog.fired) g_source_remove(watchdogId);
  g_main_loop_unref(loop);
  if (watchdog.fired) {
    ADD_FAILURE() << "watchdog: waited " << kWatchdogSeconds << " s for " << what;
    return false;
  }
  return true;
}

// Runs a script in the page's own world and returns its result as text.
std::string EvaluateInPage(WebKitWebView* view, const std::string& script) {
  // On the heap: when the watchdog gives up, the answer may still come, and then frees it.
  struct Answer {
    bool done = false;
    bool abandoned = false;
    std::string text;
  };
  auto* answer = new Answer;
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* out = static_cast<Answer*>(data);
        GError* error = nullptr;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (value) {
          gchar* text = jsc_value_to_string(value);
          out->text = text;
          g_free(text);
          g_object_unref(value);
        } else {
          out->text = std::string("error: ") + (error ? error->message : "?");
          g_clear_error(&error);
        }
        out->done = true;
        if (out->abandoned) delete out;
      },
      answer);
  if (!RunUntil([&] { return answer->done; }, "a script in the page")) {
    answer->abandoned = true;
    return "(no answer)";
  }
  std::string text = std::move(answer->text);
  delete answer;
  return text;
}

}  // namespace velmora::testing
