// velmora-analyze end to end: usage, errors, and a realistic saved page through the whole
// analysis, checked against the images the page shows.
#include <glib.h>
#include <gtest/gtest.h>
#include <json-glib/json-glib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/GalleryPage.h"
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

// `setup` runs in the child before velmora-analyze starts.
CliRun Analyze(const std::vector<std::string>& args, const std::string& input = "",
               GSpawnChildSetupFunc setup = nullptr) {
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
                                   setup, nullptr, &out, &err, &waitStatus, &error);
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
      {{"--bogus", "x"}, 2, "--bogus"},
      {{"--url"}, 2, "--url"},
      {{"a.html", "b.html"}, 2, "one page"},
      {{"--min-size", "-3", "a.html"}, 2, "--min-size takes a number of pixels"},
      {{"--min-width", "wide", "a.html"}, 2, "--min-width"},
      {{"--type", "png,tiff", "a.html"}, 2, "'tiff'"},
      {{"--sort", "size", "a.html"}, 2, "--sort takes page, area, bytes or type"},
      {{"--save", dir.path().string(), "--name", "{nmae}", "a.html"}, 2, "{nmae}"},
      {{"--name", "{n}", "a.html"}, 2, "--name goes with --save"},
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
  for (const char* said : {"Usage:", "velmora-analyze", "--min-size", "--save", "{name}"}) {
    EXPECT_NE(help.out.find(said), std::string::npos) << said;
  }
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
    // The image tags' entries, then the one picture only the census sees (a lazy image).
    const std::string gallery = ReadFile(dir / "out" / "imagepage.html");
    const std::size_t heading = gallery.find(kFurtherImagesHeading);
    ASSERT_NE(heading, std::string::npos);
    EXPECT_EQ(GallerySources(gallery.substr(0, heading)), expected);
    EXPECT_EQ(GallerySources(gallery.substr(heading)),
              std::vector<std::string>{"https://static.example.org/site/photos/lazy/dunes.jpg"});

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

// The strings of member `member` of each object of a JSON array.
std::vector<std::string> Column(JsonArray* array, const char* member) {
  std::vector<std::string> out;
  for (guint i = 0; array && i < json_array_get_length(array); ++i) {
    out.push_back(json_object_get_string_member(json_array_get_object_element(array, i), member));
  }
  return out;
}

TEST(VelmoraAnalyze, TheCensusAddsEveryFurtherPictureOnceAndJsonSaysTheSame) {
  TempFolder dir;
  const CliRun run =
      Analyze({"--url", "https://news.example.com/world/today.html", "--json", "--out",
               (dir / "out").string(), std::string(VELMORA_TEST_DATA) + "/census-news.html"});
  ASSERT_EQ(run.status, 0) << run.err;
  JsonParser* parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, run.out.c_str(), -1, nullptr)) << run.out;
  JsonObject* root = json_node_get_object(json_parser_get_root(parser));
  EXPECT_STREQ(json_object_get_string_member(root, "url"),
               "https://news.example.com/world/today.html");
  JsonArray* census = json_object_get_array_member(root, "census");
  const std::vector<std::string> shown =
      Column(json_object_get_array_member(root, "shownImages"), "url");

  // Every picture of the page once, in page order, with its kind; what a script writes into a
  // string and what a comment holds are no pictures.
  const std::string site = "https://news.example.com/";
  const std::string here = site + "world/";
  const std::vector<std::string> expected = {
      "img " + site + "img/logo.svg",
      "background " + site + "img/hero-2400.jpg",
      "lazy " + here + "photos/storm-1.jpg",
      "lazy " + here + "photos/storm-2-1440.jpg",
      "picture " + here + "photos/boats-1600.jpg",
      "picture " + here + "photos/gulls@2x.jpg",
      "srcset " + here + "photos/crowd@2x.jpg",
      "img " + here + "photos/2025/map.png",
      "img " + here + "photos/2026/map.png",
      "poster " + here + "media/briefing-poster.jpg",
      "input " + site + "img/search.png",
      "svg " + site + "img/chart.png",
      "lazy " + site + "img/promo.jpg",
  };
  std::vector<std::string> kindsAndUrls;
  const std::vector<std::string> kinds = Column(census, "kind");
  const std::vector<std::string> urls = Column(census, "url");
  for (std::size_t i = 0; i < urls.size(); ++i) kindsAndUrls.push_back(kinds[i] + " " + urls[i]);
  EXPECT_EQ(kindsAndUrls, expected);
  EXPECT_EQ(json_object_get_int_member(json_array_get_object_element(census, 3), "width"), 1440);

  // The gallery: the image pair's entries exactly as the JSON lists them, then each picture the
  // pair does not show (by any of its URLs), once.
  const std::string gallery = ReadFile(dir / "out" / "imagepage.html");
  const std::size_t heading = gallery.find(kFurtherImagesHeading);
  ASSERT_NE(heading, std::string::npos);
  EXPECT_EQ(GallerySources(gallery.substr(0, heading)), shown);
  EXPECT_EQ(GallerySources(gallery.substr(heading)),
            (std::vector<std::string>{site + "img/hero-2400.jpg", here + "photos/storm-2-1440.jpg",
                                      here + "photos/gulls@2x.jpg", here + "photos/2026/map.png",
                                      here + "media/briefing-poster.jpg", site + "img/search.png",
                                      site + "img/chart.png", site + "img/promo.jpg"}));
  EXPECT_NE(gallery.find(here + "photos/storm-2-1440.jpg (lazy, 1440 px wide)"), std::string::npos);

  // The source view links the census's names too, and leaves the page's references whole.
  const std::string view = ReadFile(dir / "out" / "source.htm");
  for (const std::string name : {"storm-2-1440.jpg", "storm-2-480.jpg", "gulls@2x.jpg"}) {
    EXPECT_NE(view.find("<a href='" + here + "photos/" + name + "'>" + name + "</a>"),
              std::string::npos)
        << name;
  }
  EXPECT_NE(view.find("Rock &#039;n&#039; roll"), std::string::npos);
  g_object_unref(parser);
}

TEST(VelmoraAnalyze, AThousandLazyImagesBehindOnePlaceholder) {
  TempFolder dir;
  std::string page = "<body>";
  for (int i = 0; i < 1000; ++i) {
    page += "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\" data-src=\"p/" +
            std::to_string(i) + ".jpg\">\n";
  }
  WriteFile(dir / "lazy.html", page + "</body>");
  const CliRun run = Analyze({"--url", "http://h.example/", "--out", (dir / "out").string(),
                              (dir / "lazy.html").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("1 images found, 0 linked images found\n"
                         "1000 further pictures found by the image census"),
            std::string::npos)
      << run.out;
  const std::string gallery = ReadFile(dir / "out" / "imagepage.html");
  const std::vector<std::string> further =
      GallerySources(gallery.substr(gallery.find(kFurtherImagesHeading)));
  ASSERT_EQ(further.size(), 1000u);
  EXPECT_EQ(further.front(), "http://h.example/p/0.jpg");
  EXPECT_EQ(further.back(), "http://h.example/p/999.jpg");
}

// A saved page with pictures of its own of known sizes and types (files beside it and one data:
// address), a 1 x 1 pixel, and a picture only the engine that loaded the page could give.
class PictureSite {
 public:
  PictureSite() {
    std::filesystem::create_directory(dir_ / "site");
    for (const char* name : {"big.png", "wide.jpg", "tall.gif", "icon.png", "mislabelled.jpg",
                             "chart.svg", "pixel.gif"}) {
      WriteFile(dir_ / "site" / name, Picture(name));
    }
    const std::string wide = Picture("wide.jpg");
    gchar* base64 = g_base64_encode(reinterpret_cast<const guchar*>(wide.data()), wide.size());
    WriteFile(page(),
              "<html><head><title>Harbour / Pictures</title></head><body>"
              "<img src='big.png'><img src='data:image/jpeg;base64," +
                  std::string(base64) +
                  "'><img src='tall.gif'><img src='icon.png'>"
                  "<img src='mislabelled.jpg'><img src='chart.svg'><img src='pixel.gif'>"
                  "<img src='http://example.invalid/remote.jpg'></body></html>");
    g_free(base64);
  }

  static std::string Picture(const std::string& name) { return Data("pictures/" + name); }
  std::filesystem::path page() const { return dir_ / "site" / "page.html"; }
  std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

  CliRun Analyze(std::vector<std::string> args) const {
    args.insert(args.end(), {"--out", (dir_ / "work").string(), page().string()});
    return velmora::Analyze(args);
  }

 private:
  TempFolder dir_;
};

// The files of a folder, by name, with their bytes.
std::map<std::string, std::string> FolderFiles(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files[entry.path().filename().string()] = ReadFile(entry.path());
  }
  return files;
}

TEST(VelmoraAnalyze, SavesTheChosenPicturesInOrderUnderThePatternsNamesByteForByte) {
  const PictureSite site;
  const std::vector<std::string> args = {"--min-size", "300",       "--sort",
                                         "area",       "--save",    (site / "saved").string(),
                                         "--name",     "{n}-{name}"};
  CliRun run = site.Analyze(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("4 of 8 pictures chosen"), std::string::npos) << run.out;
  // 640 x 360, 480 x 400, 300 x 500, 350 x 350 (PNG bytes under a .jpg name); the SVG is 210
  // high, the icon and the pixel are small, the remote picture's size is unknown.
  const std::map<std::string, std::string> first = {
      {"1-image.jpg", PictureSite::Picture("wide.jpg")},
      {"2-big.png", PictureSite::Picture("big.png")},
      {"3-tall.gif", PictureSite::Picture("tall.gif")},
      {"4-mislabelled.png", PictureSite::Picture("mislabelled.jpg")},
  };
  EXPECT_EQ(FolderFiles(site / "saved"), first);

  // Again into the same folder: nothing is replaced, the new files are numbered.
  run = site.Analyze(args);
  ASSERT_EQ(run.status, 0) << run.err;
  std::map<std::string, std::string> both = first;
  both["1-image (1).jpg"] = first.at("1-image.jpg");
  both["2-big (1).png"] = first.at("2-big.png");
  both["3-tall (1).gif"] = first.at("3-tall.gif");
  both["4-mislabelled (1).png"] = first.at("4-mislabelled.png");
  EXPECT_EQ(FolderFiles(site / "saved"), both);
}

TEST(VelmoraAnalyze, ChoicesNarrowAndOrderTheJsonCensus) {
  const PictureSite site;
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> expected;  // file names; "data:" for the data: picture
  } cases[] = {
      {{},
       {"big.png", "data:", "tall.gif", "icon.png", "mislabelled.jpg", "chart.svg", "pixel.gif",
        "remote.jpg"}},
      {{"--min-size", "300", "--min-height", "0"},
       {"big.png", "data:", "tall.gif", "mislabelled.jpg", "chart.svg"}},
      {{"--type", "svg", "--type", "GIF", "--sort", "bytes"},
       {"tall.gif", "chart.svg", "pixel.gif"}},
      {{"--hide-tracking", "--type", "gif"}, {"tall.gif"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("--json");
    const CliRun run = site.Analyze(args);
    ASSERT_EQ(run.status, 0) << run.err;
    JsonParser* parser = json_parser_new();
    ASSERT_TRUE(json_parser_load_from_data(parser, run.out.c_str(), -1, nullptr)) << run.out;
    JsonArray* census =
        json_object_get_array_member(json_node_get_object(json_parser_get_root(parser)), "census");
    std::vector<std::string> names;
    for (const std::string& url : Column(census, "url")) {
      names.push_back(url.starts_with("data:") ? "data:" : url.substr(url.rfind('/') + 1));
    }
    EXPECT_EQ(names, c.expected) << ::testing::PrintToString(c.args);
    g_object_unref(parser);
  }

  // What the bytes say, and what is unknown without them.
  const CliRun run = site.Analyze({"--json", "--type", "svg,jpeg"});
  ASSERT_EQ(run.status, 0) << run.err;
  JsonParser* parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, run.out.c_str(), -1, nullptr)) << run.out;
  JsonArray* census =
      json_object_get_array_member(json_node_get_object(json_parser_get_root(parser)), "census");
  const struct {
    std::string type;
    gint64 width, height, bytes;
  } facts[] = {
      {"image/jpeg", 640, 360, static_cast<gint64>(PictureSite::Picture("wide.jpg").size())},
      {"image/svg+xml", 420, 210, static_cast<gint64>(PictureSite::Picture("chart.svg").size())},
      {"", 0, 0, 0},
  };
  ASSERT_EQ(json_array_get_length(census), std::size(facts));
  for (guint i = 0; i < std::size(facts); ++i) {
    JsonObject* item = json_array_get_object_element(census, i);
    EXPECT_EQ(json_object_get_string_member(item, "type"), facts[i].type);
    EXPECT_EQ(json_object_get_int_member(item, "width"), facts[i].width);
    EXPECT_EQ(json_object_get_int_member(item, "height"), facts[i].height);
    EXPECT_EQ(json_object_get_int_member(item, "bytes"), facts[i].bytes);
    EXPECT_STREQ(json_object_get_string_member(item, "frame"), "");
    EXPECT_FALSE(json_object_has_member(item, "file"));
  }
  g_object_unref(parser);
}

TEST(VelmoraAnalyze, WhatCannotBeSavedIsSaidAndTheRestIsSaved) {
  const PictureSite site;
  CliRun run = site.Analyze({"--save", (site / "all").string(), "--json"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("not saved: http://example.invalid/remote.jpg: not loaded"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(FolderFiles(site / "all").size(), 7u);
  JsonParser* parser = json_parser_new();
  ASSERT_TRUE(json_parser_load_from_data(parser, run.out.c_str(), -1, nullptr)) << run.out;
  const std::vector<std::string> files = Column(
      json_object_get_array_member(json_node_get_object(json_parser_get_root(parser)), "census"),
      "file");
  ASSERT_EQ(files.size(), 8u);
  EXPECT_EQ(files[0], (site / "all" / "big.png").string());
  EXPECT_EQ(files[1], (site / "all" / "image.jpg").string());
  EXPECT_EQ(files[7], "");
  g_object_unref(parser);

  // A page that names a private file for a picture does not get it copied.
  WriteFile(site.page(), "<img src='/etc/passwd'><img src='icon.png'>");
  run = site.Analyze({"--save", (site / "private").string()});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("/etc/passwd: not a picture"), std::string::npos) << run.err;
  EXPECT_EQ(FolderFiles(site / "private"),
            (std::map<std::string, std::string>{{"icon.png", PictureSite::Picture("icon.png")}}));

  // Files that cannot be written whole (here: larger than the process may write) are said, and
  // leave nothing behind; the others are saved.
  WriteFile(site.page(),
            "<img src='big.png'><img src='wide.jpg'><img src='tall.gif'><img src='icon.png'>");
  run = velmora::Analyze({"--out", (site / "work").string(), "--save", (site / "limited").string(),
                          site.page().string()},
                         "", [](gpointer) {
                           const rlimit limit{2048, 2048};
                           setrlimit(RLIMIT_FSIZE, &limit);
                         });
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("wide.jpg as '" + (site / "limited" / "wide.jpg").string() + "'"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(FolderFiles(site / "limited"),
            (std::map<std::string, std::string>{{"big.png", PictureSite::Picture("big.png")},
                                                {"tall.gif", PictureSite::Picture("tall.gif")},
                                                {"icon.png", PictureSite::Picture("icon.png")}}));

  // A folder that cannot be made: said, status 1, nothing written.
  WriteFile(site / "blocker", "a file");
  run = site.Analyze({"--save", (site / "blocker" / "pictures").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot create '" + (site / "blocker" / "pictures").string()),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace velmora
