// The tests' loopback HTTP server on libsoup's SoupServer.
#include "tests/support/LoopbackServer.h"

#include <libsoup/soup.h>

#include <stdexcept>
#include <utility>

namespace velmora::testing {

namespace {
constexpr std::string_view kHttpHost = "http://127.0.0.1:";
constexpr std::string_view kHttpsHost = "https://127.0.0.1:";
constexpr std::string_view kNotFound = "<html><body><p>Not found</p></body></html>";
}  // namespace

LoopbackServer::LoopbackServer() : server_(soup_server_new(nullptr, nullptr)) {
  Listen(false);
}

LoopbackServer::LoopbackServer(const TlsFiles& tls) {
  GError* error = nullptr;
  GTlsCertificate* certificate =
      g_tls_certificate_new_from_files(tls.certificate.c_str(), tls.key.c_str(), &error);
  if (!certificate) {
    const std::string message = error ? error->message : "unknown error";
    g_clear_error(&error);
    throw std::runtime_error("loopback server certificate: " + message);
  }
  server_ = soup_server_new("tls-certificate", certificate, nullptr);
  g_object_unref(certificate);
  Listen(true);
}

void LoopbackServer::Listen(bool https) {
  https_ = https;
  GError* error = nullptr;
  // Port 0: the system picks a free one, so parallel test runs never clash.
  const auto options = static_cast<SoupServerListenOptions>(SOUP_SERVER_LISTEN_IPV4_ONLY |
                                                            (https ? SOUP_SERVER_LISTEN_HTTPS : 0));
  if (!soup_server_listen_local(server_, 0, options, &error)) {
    const std::string message = error ? error->message : "unknown error";
    g_clear_error(&error);
    g_object_unref(server_);
    throw std::runtime_error("loopback server cannot listen: " + message);
  }
  GSList* uris = soup_server_get_uris(server_);
  if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  if (port_ <= 0) {
    g_object_unref(server_);
    throw std::runtime_error("loopback server has no port");
  }
  soup_server_add_handler(server_, nullptr, OnRequest, this, nullptr);
}

LoopbackServer::~LoopbackServer() {
  for (const Waiting& w : waiting_) g_signal_handlers_disconnect_by_data(w.message, this);
  soup_server_disconnect(server_);
  for (const Waiting& w : waiting_) g_object_unref(w.message);
  g_object_unref(server_);
}

void LoopbackServer::Serve(std::string path, std::string contentType, std::string body) {
  resources_[std::move(path)] = Resource{std::move(contentType), std::move(body), {}, {}};
}

void LoopbackServer::AddHeader(std::string_view path, std::string name, std::string value) {
  resources_.at(std::string(path)).headers.emplace_back(std::move(name), std::move(value));
}

std::string LoopbackServer::RequestHeader(std::string_view path, std::string_view name) const {
  const auto found = requestHeaders_.find(path);
  if (found == requestHeaders_.end()) return "";
  const auto header = found->second.find(name);
  return header == found->second.end() ? "" : header->second;
}

std::string LoopbackServer::Url(std::string_view path) const {
  return std::string(https_ ? kHttpsHost : kHttpHost) + std::to_string(port_) + std::string(path);
}

void LoopbackServer::Hold(std::string path) {
  held_.insert(std::move(path));
}

void LoopbackServer::Release(std::string_view path) {
  if (const auto found = held_.find(path); found != held_.end()) held_.erase(found);
  std::vector<Waiting> answered;
  std::erase_if(waiting_, [&](const Waiting& w) {
    if (w.path != path) return false;
    answered.push_back(w);
    return true;
  });
  for (const Waiting& w : answered) {
    g_signal_handlers_disconnect_by_data(w.message, this);
    Answer(w.message, w.path);
    soup_server_message_unpause(w.message);
    g_object_unref(w.message);
  }
}

int LoopbackServer::RequestCount(std::string_view path) const {
  const auto found = requests_.find(path);
  return found == requests_.end() ? 0 : found->second;
}

void LoopbackServer::RequireHeader(std::string_view path, std::string name) {
  resources_.at(std::string(path)).requiredHeader = std::move(name);
}

void LoopbackServer::Answer(SoupServerMessage* message, std::string_view path) {
  // No caching: a reload must reach the server again.
  soup_message_headers_replace(soup_server_message_get_response_headers(message), "Cache-Control",
                               "no-store");
  const auto found = resources_.find(path);
  if (found == resources_.end()) {
    soup_server_message_set_status(message, SOUP_STATUS_NOT_FOUND, nullptr);
    soup_server_message_set_response(message, "text/html; charset=utf-8", SOUP_MEMORY_COPY,
                                     kNotFound.data(), kNotFound.size());
    return;
  }
  const std::string& required = found->second.requiredHeader;
  if (!required.empty() &&
      !soup_message_headers_get_one(soup_server_message_get_request_headers(message),
                                    required.c_str())) {
    soup_server_message_set_status(message, SOUP_STATUS_FORBIDDEN, nullptr);
    return;
  }
  soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
  for (const auto& [name, value] : found->second.headers) {
    soup_message_headers_append(soup_server_message_get_response_headers(message), name.c_str(),
                                value.c_str());
  }
  soup_server_message_set_response(message, found->second.contentType.c_str(), SOUP_MEMORY_COPY,
                                   found->second.body.data(), found->second.body.size());
}

// A held request whose client gave up (the browser stopped loading) is forgotten.
void LoopbackServer::OnFinished(SoupServerMessage* message, void* data) {
  auto& self = *static_cast<LoopbackServer*>(data);
  std::erase_if(self.waiting_, [&](const Waiting& w) {
    if (w.message != message) return false;
    g_signal_handlers_disconnect_by_data(message, &self);
    g_object_unref(message);
    return true;
  });
}

void LoopbackServer::OnRequest(SoupServer*, SoupServerMessage* message, const char* path,
                               GHashTable*, void* data) {
  auto& self = *static_cast<LoopbackServer*>(data);
  const std::string_view requested = path ? path : "";
  ++self.requests_[std::string(requested)];
  auto& headers = self.requestHeaders_[std::string(requested)];
  headers.clear();
  SoupMessageHeadersIter iter;
  soup_message_headers_iter_init(&iter, soup_server_message_get_request_headers(message));
  const char* name = nullptr;
  const char* value = nullptr;
  while (soup_message_headers_iter_next(&iter, &name, &value)) headers[name] = value;
  if (self.held_.contains(requested)) {
    self.waiting_.push_back(
        Waiting{std::string(requested), static_cast<SoupServerMessage*>(g_object_ref(message))});
    g_signal_connect(message, "finished", G_CALLBACK(OnFinished), &self);
    soup_server_message_pause(message);
    return;
  }
  self.Answer(message, requested);
}

}  // namespace velmora::testing
