// A small HTTP server for tests: it listens on 127.0.0.1 on a free port and answers from a table
// of pages and pictures that the test fills in. It runs on the thread's default main context (the
// GTK main loop), so it answers while a test waits in that loop for the browser.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

typedef struct _SoupServer SoupServer;
typedef struct _SoupServerMessage SoupServerMessage;
typedef struct _GHashTable GHashTable;

namespace velmora::testing {

// A certificate and its private key, PEM files, for a server that speaks HTTPS.
struct TlsFiles {
  std::filesystem::path certificate;
  std::filesystem::path key;
};

class LoopbackServer {
 public:
  // Starts listening (plain HTTP); throws std::runtime_error when no port can be had.
  LoopbackServer();
  // The same over HTTPS with this certificate; throws when the files cannot be read.
  explicit LoopbackServer(const TlsFiles& tls);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Answers GET `path` ("/page.html", without query) with this body and content type
  // ("text/html; charset=utf-8", "image/png"). Any other path gets 404.
  void Serve(std::string path, std::string contentType, std::string body);

  // Answers `path` (served already) only to requests that carry header `name` (a picture that
  // needs the page as its Referer); other requests get 403.
  void RequireHeader(std::string_view path, std::string name);

  // Adds a header to the answers for `path` (served already).
  void AddHeader(std::string_view path, std::string name, std::string value);
  // The value of header `name` in the last request for `path`; "" when none came or it had none.
  std::string RequestHeader(std::string_view path, std::string_view name) const;

  // "http://127.0.0.1:<port>" (or "https://...") followed by `path` (which starts with "/").
  std::string Url(std::string_view path) const;
  int Port() const noexcept { return port_; }

  // How many requests for `path` have come in so far.
  int RequestCount(std::string_view path) const;

  // Requests for `path` wait unanswered until Release(path): the browser stays in the middle of
  // loading it.
  void Hold(std::string path);
  // Answers the waiting requests for `path` from the table and stops holding it.
  void Release(std::string_view path);

 private:
  struct Resource {
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string requiredHeader;
  };
  struct Waiting {
    std::string path;
    SoupServerMessage* message;  // our reference; paused
  };
  void Answer(SoupServerMessage* message, std::string_view path);
  static void OnFinished(SoupServerMessage* message, void* data);
  static void OnRequest(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                        void* data);

  void Listen(bool https);

  SoupServer* server_ = nullptr;
  int port_ = 0;
  bool https_ = false;
  std::map<std::string, Resource, std::less<>> resources_;
  std::map<std::string, int, std::less<>> requests_;
  std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>>
      requestHeaders_;
  std::set<std::string, std::less<>> held_;
  std::vector<Waiting> waiting_;
};

}  // namespace velmora::testing
