// The address box's fix-up: what typed text and file-dialog paths become before WebKit loads
// them. Pure functions, no display needed.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <string>

#include "hosted/AddressFixup.h"

namespace velmora {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

struct FlagCase {
  std::string input;
  bool expected;
};

// The file URI GLib makes for a path, to compare with (our fix-up must agree with it).
std::string GlibFileUri(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string out = uri ? uri : "(no uri)";
  g_free(uri);
  return out;
}

std::string Home() {
  return g_get_home_dir();
}

TEST(AddressToUri, Table) {
  const TextCase cases[] = {
      // Blanks around the text are dropped; nothing at all is the blank page.
      {"", "about:blank"},
      {"   \t\r\n", "about:blank"},
      {"  host/  ", "http://host/"},
      // A bare host or a host with a path is a web address.
      {"host/", "http://host/"},
      {"localhost", "http://localhost"},
      {"www.example.org/a/b.html?x=1#f", "http://www.example.org/a/b.html?x=1#f"},
      {"10.0.0.1", "http://10.0.0.1"},
      {"host/path:8080", "http://host/path:8080"},
      {"[::1]:8080/", "http://[::1]:8080/"},
      {"user@host:21", "http://user@host:21"},
      // "host:port" has the shape of a scheme but is a host.
      {"localhost:8765/", "http://localhost:8765/"},
      {"localhost:8765", "http://localhost:8765"},
      {"example.org:80?q", "http://example.org:80?q"},
      {"example.org:80#top", "http://example.org:80#top"},
      {"127.0.0.1:1/", "http://127.0.0.1:1/"},
      // Real schemes stay as typed, in any letter case.
      {"http://host/", "http://host/"},
      {"HTTPS://Host/A", "HTTPS://Host/A"},
      {"file:///tmp/x.html", "file:///tmp/x.html"},
      {"about:blank", "about:blank"},
      {"data:text/html,<p>hi</p>", "data:text/html,<p>hi</p>"},
      {"ftp://files.example/", "ftp://files.example/"},
      {"view-source+x.y:z", "view-source+x.y:z"},
      // Not a port: letters after the ":" make it a scheme.
      {"mailto:someone@example.org", "mailto:someone@example.org"},
      {"host:80x", "host:80x"},
      // Not a scheme: it must start with a letter and hold no "/" or "_".
      {"1host:abc", "http://1host:abc"},
      {"my_host:abc", "http://my_host:abc"},
      {"-a:b", "http://-a:b"},
      {"\xC3\xA9:x", "http://\xC3\xA9:x"},
      {":8080/", "http://:8080/"},
      // Local files: GLib's file URIs, with the characters a URI cannot hold escaped.
      {"/tmp/page.html", "file:///tmp/page.html"},
      {"  /tmp/page.html ", "file:///tmp/page.html"},
      {"/tmp/a b#c?.html", "file:///tmp/a%20b%23c%3F.html"},
      {"/tmp/d\xC3\xA9j\xC3\xA0.html", "file:///tmp/d%C3%A9j%C3%A0.html"},
      {"/", "file:///"},
      // "~" is the home folder only alone or before "/".
      {"~", GlibFileUri(Home())},
      {"~/x.html", GlibFileUri(Home() + "/x.html")},
      {"~/dir/a b.html", GlibFileUri(Home() + "/dir/a b.html")},
      {"~other/x.html", "http://~other/x.html"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AddressToUri(c.input), c.expected) << "typed: \"" << c.input << "\"";
  }
}

TEST(AddressToUri, HomeFolderExample) {
  // The home folder of the account the tests run as, written out.
  if (Home() != "/root") GTEST_SKIP() << "HOME is " << Home();
  EXPECT_EQ(AddressToUri("~/x.html"), "file:///root/x.html");
}

TEST(PathToUri, Table) {
  gchar* current = g_get_current_dir();
  const std::string cwd = current;
  g_free(current);
  const TextCase cases[] = {
      {"/tmp/page.html", "file:///tmp/page.html"},
      {"/tmp/with space/#1.html", "file:///tmp/with%20space/%231.html"},
      // Blanks belong to a file name.
      {" /tmp/x.html", GlibFileUri(cwd + "/ /tmp/x.html")},
      {"/tmp/x.html ", "file:///tmp/x.html%20"},
      {"", "about:blank"},
      // Relative paths are read from the current folder.
      {"page.html", GlibFileUri(cwd + "/page.html")},
      {"./a/../page.html", GlibFileUri(cwd + "/page.html")},
      {"dir/x:1.html", GlibFileUri(cwd + "/dir/x:1.html")},
      // Text that is already a URI, or a "~" path, goes through the address fix-up.
      {"file:///tmp/x.html", "file:///tmp/x.html"},
      {"https://host/a", "https://host/a"},
      {"localhost:8765/", "http://localhost:8765/"},
      {"~/x.html", GlibFileUri(Home() + "/x.html")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathToUri(c.input), c.expected) << "path: \"" << c.input << "\"";
  }
}

TEST(CommandLineAddress, AnExistingFileElseAnAddress) {
  gchar* current = g_get_current_dir();
  const std::string cwd = current;
  g_free(current);
  char folder[] = "velmora-args-XXXXXX";  // in the current folder: a relative path names it
  ASSERT_NE(g_mkdtemp(folder), nullptr);
  const std::string file = std::string(folder) + "/page.html";
  g_file_set_contents(file.c_str(), "<p>x</p>", -1, nullptr);
  const TextCase cases[] = {
      {file, GlibFileUri(cwd + "/" + file)},
      {cwd + "/" + file, GlibFileUri(cwd + "/" + file)},
      {std::string(folder) + "/missing.html", "http://" + std::string(folder) + "/missing.html"},
      {"example.org/news", "http://example.org/news"},
      {"https://example.org/a?b", "https://example.org/a?b"},
      {"file:///tmp/x.html", "file:///tmp/x.html"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandLineAddress(c.input), c.expected) << "argument: \"" << c.input << "\"";
  }
  g_remove(file.c_str());
  g_rmdir(folder);
}

TEST(IsHostAndPort, Table) {
  const FlagCase cases[] = {
      {"localhost:8765", true},
      {"localhost:8765/", true},
      {"h:1?q", true},
      {"h:1#f", true},
      {"a.b.c:65535/x/y", true},
      {"localhost:", false},
      {"localhost:x", false},
      {"localhost:80x", false},
      {"host/p:80", false},
      {":80", false},
      {"http://h:80", false},
      {"h:8 0", false},
      {"no colon at all", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsHostAndPort(c.input), c.expected) << "text: \"" << c.input << "\"";
  }
}

}  // namespace
}  // namespace velmora
