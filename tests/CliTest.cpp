// velmora-analyze end to end: usage, errors, and a realistic saved page through the whole
// analysis, checked against the images the page shows.
#include <glib.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

CliRun Analyze(const std::vector<std::string>& args, const std::string& input = "") {
  std::vector<char*> argv;
  std::string program = VELMORA_ANALYZE;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  TempFolder stdinDir;
  WriteFile(stdinDir / "stdin", input);
  // The shell-free way to give the child a standard input: open it here and let it inherit.
  FILE* in = std::fopen((stdinDir / "stdin").c_str(), "rb");
  const int savedStdin = dup(0);
  dup2(fileno(in), 0);

  CliRun run;
  gchar* out = nullptr;
  gchar* err = nullptr;
  gint waitStatus = 0;
  GError* error = nullptr;
  const gboolean ok = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_CHILD_INHERITS_STDIN,
                                   nullptr, nullptr, &out, &err, &waitStatus, &error);
  dup2(savedStdin, 0);
  close(savedStdin);
  std::fclose(in);
  if (!ok) {
    ADD_FAILURE() << "cannot start velmora-analyze: " << error->message;
    g_error_free(error);
    return run;
  }
  run.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  run.out = out;
  run.err = err;
  g_free(out);
  g_free(err);
  return run;
}

std::string Data(const std::string& name) {
  return ReadFile(std::string(VELMORA_TEST_DATA) + "/" + name);
}

std::vector<std::string> ExpectedLines(const std::string& name) {
  std::vector<std::string> lines;
  std::istringstream in(Data(name));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

// The image sources of a gallery page, with "&amp;" read back as "&".
std::vector<std::string> GallerySources(const std::string& gallery) {
  std::vector<std::string> sources;
  const std::string open = "<img src='";
  for (std::size_t at = gallery.find(open); at != std::string::npos;
       at = gallery.find(open, at + 1)) {
    const std::size_t start = at + open.size();
    std::string src = gallery.substr(start, gallery.find('\'', start) - start);
    for (std::size_t amp = src.find("&amp;"); amp != std::string::npos;
         amp = src.find("&amp;", amp + 1)) {
      src.replace(amp, 5, "&");
    }
    sources.push_back(src);
  }
  return sources;
}

TEST(VelmoraAnalyze, UsageAndErrors) {
  TempFolder dir;
  const struct {
    std::vector<std::string> args;
    int status;
    std::string inStderr;
  } cases[] = {
      {{}, 2, "no page given"},
      {{"--bogus", "x"}, 2, "unknown option --bogus"},
      {{"--url"}, 2, "--url needs a value"},
      {{"a.html", "b.html"}, 2, "one page"},
      {{"--out", dir.path().string(), (dir / "missing.html").string()},
       1,
       (dir / "missing.html").string()},
      {{"--out", dir.path().string(), dir.path().string()}, 1, dir.path().string()},
  };
  for (const auto& c : cases) {
    const CliRun run = Analyze(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.inStderr), std::string::npos) << run.err;
  }
  const CliRun help = Analyze({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: velmora-analyze"), std::string::npos);
}

TEST(VelmoraAnalyze, AFolderThatCannotBeCreatedIsAnIoError) {
  TempFolder dir;
  WriteFile(dir / "page.html", "<img src=x.gif>");
  WriteFile(dir / "blocker", "a file");
  const CliRun run =
      Analyze({"--out", (dir / "blocker" / "out").string(), (dir / "page.html").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find((dir / "blocker" / "out").string()), std::string::npos) << run.err;
}

TEST(VelmoraAnalyze, AModernPageGivesEveryImageItsAbsoluteUrl) {
  const std::string page = Data("modern-page.html");
  std::string crlf;
  for (char c : page) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const std::vector<std::string> expected = ExpectedLines("modern-page.expected");
  for (const std::string& variant : {page, crlf}) {
    TempFolder dir;
    WriteFile(dir / "page.html", variant);
    const CliRun run = Analyze({"--url", "https://www.example.org/blog/week-on-the-coast.html",
                                "--out", (dir / "out").string(), (dir / "page.html").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(
        run.out.find(std::to_string(expected.size()) + " images found, 4 linked images found"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find((dir / "out" / "source.htm").string()), std::string::npos);
    EXPECT_NE(run.out.find((dir / "out" / "imagepage.html").string()), std::string::npos);
    EXPECT_EQ(GallerySources(ReadFile(dir / "out" / "imagepage.html")), expected);

    const std::string view = ReadFile(dir / "out" / "source.htm");
    EXPECT_NE(view.find("<a href='https://static.example.org/site/photos/full/lighthouse.jpg'>"
                        "lighthouse.jpg</a>"),
              std::string::npos)
        << "pair 0's link wins for a name in both pairs";
    EXPECT_EQ(view.find("<script"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "out" / "checkImages.txt"), "\r\n");
  }
}

TEST(VelmoraAnalyze, StandardInputAndTheFileAddressAsDefaultBase) {
  TempFolder dir;
  WriteFile(dir / "saved.html", "<body><img src=\"pics/a.gif\"></body>");
  CliRun run = Analyze({"--out", (dir / "out").string(), (dir / "saved.html").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(GallerySources(ReadFile(dir / "out" / "imagepage.html")),
            std::vector<std::string>{"file://" + (dir / "pics" / "a.gif").string()});

  run = Analyze({"--url", "http://h.example/x/", "--out", (dir / "in").string(), "-"},
                "<img src=\"b.gif\">");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(GallerySources(ReadFile(dir / "in" / "imagepage.html")),
            std::vector<std::string>{"http://h.example/x/b.gif"});
}

}  // namespace
}  // namespace velmora
