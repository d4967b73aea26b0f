// The real program, started as a desktop starts it: "velmora URL" opens that address first, and
// a cookie a page sets is still there when the program runs again.
#include <glib-unix.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::LoopbackServer;
using testing::TempFolder;

constexpr const char* kHtml = "text/html; charset=utf-8";

// Runs Velmora with `url` and the given home, serving requests meanwhile, until it reports that
// pane 0 finished `until` (or 30 s pass); then ends it. Returns what it wrote on standard error.
std::string RunUntilPaneFinishes(const std::string& url, const std::string& until,
                                 const std::filesystem::path& home) {
  std::vector<std::string> env;
  gchar** inherited = g_get_environ();
  for (gchar** e = inherited; e && *e; ++e) env.emplace_back(*e);
  g_strfreev(inherited);
  for (const std::string& own :
       {"HOME=" + home.string(), "XDG_DATA_HOME=" + (home / "data").string(),
        "XDG_CACHE_HOME=" + (home / "cache").string(),
        "XDG_CONFIG_HOME=" + (home / "config").string(), std::string("VELMORA_TRACE=1")}) {
    env.push_back(own);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = VELMORA_EXE;
  std::string address = url;
  char* argv[] = {program.data(), address.data(), nullptr};

  GPid pid = 0;
  gint err = -1;
  GError* error = nullptr;
  if (!g_spawn_async_with_pipes(nullptr, argv, envp.data(), G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                nullptr, &pid, nullptr, nullptr, &err, &error)) {
    ADD_FAILURE() << "cannot start velmora: " << error->message;
    g_error_free(error);
    return {};
  }
  g_unix_set_fd_nonblocking(err, TRUE, nullptr);
  std::string output;
  const std::string awaited = "pane 0 finished " + until;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (output.find(awaited) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);  // the loopback server answers here
    char buffer[4096];
    const ssize_t got = ::read(err, buffer, sizeof buffer);
    if (got > 0) output.append(buffer, static_cast<std::size_t>(got));
    if (got <= 0) g_usleep(10'000);
  }
  // A moment for the page's own work (its cookie) to reach the store, serving meanwhile.
  const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (std::chrono::steady_clock::now() < settle) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(10'000);
  }
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  g_spawn_close_pid(pid);
  ::close(err);
  return output;
}

TEST(ProgramRun, OpensItsArgumentFirstAndKeepsCookiesBetweenRuns) {
  if (g_getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  LoopbackServer server;
  // The page sets a cookie; on a later run, with the cookie, it moves on to /again.html.
  server.Serve("/login.html", kHtml,
               "<!DOCTYPE html><title>login</title><body><p>in</p><script>"
               "if (document.cookie.indexOf('session=kept') >= 0) location.replace('/again.html');"
               "else document.cookie = 'session=kept; max-age=86400; path=/';</script></body>");
  server.Serve("/again.html", kHtml, "<!DOCTYPE html><title>again</title><p>welcome back</p>");
  TempFolder home;

  const std::string first =
      RunUntilPaneFinishes(server.Url("/login.html"), server.Url("/login.html"), home.path());
  ASSERT_NE(first.find("pane 0 finished " + server.Url("/login.html")), std::string::npos) << first;
  EXPECT_EQ(first.find("pane 0 finished file:"), std::string::npos)
      << "the start page was loaded although an address was given:\n"
      << first;
  EXPECT_EQ(server.RequestCount("/again.html"), 0);
  // Loaded while the splash counted, and shown as it is: one request.
  EXPECT_EQ(server.RequestCount("/login.html"), 1) << first;

  const std::string second =
      RunUntilPaneFinishes(server.Url("/login.html"), server.Url("/again.html"), home.path());
  EXPECT_EQ(server.RequestCount("/again.html"), 1) << second;
}

}  // namespace
}  // namespace velmora
