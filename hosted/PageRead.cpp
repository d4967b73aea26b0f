#include "hosted/PageRead.h"

#include <json-glib/json-glib.h>

#include <string>

namespace velmora {

namespace {

std::string Text(const gchar* text) {
  return text ? text : "";
}

std::string Member(JsonObject* object, const char* name) {
  return Text(json_object_get_string_member_with_default(object, name, ""));
}

std::vector<std::string> StringArray(JsonObject* object, const char* name) {
  std::vector<std::string> out;
  JsonNode* member = json_object_get_member(object, name);
  JsonArray* array =
      member && JSON_NODE_HOLDS_ARRAY(member) ? json_node_get_array(member) : nullptr;
  const guint length = array ? json_array_get_length(array) : 0;
  for (guint i = 0; i < length; ++i) {
    JsonNode* node = json_array_get_element(array, i);
    out.push_back(JSON_NODE_HOLDS_VALUE(node) ? Text(json_node_get_string(node)) : "");
  }
  return out;
}

int Size(JsonObject* object, const char* name) {
  const gint64 value = json_object_get_int_member_with_default(object, name, 0);
  return value > 0 && value < (1 << 30) ? static_cast<int>(value) : 0;
}

}  // namespace

std::vector<ImageElement> ParseImageElements(std::string_view json) {
  std::vector<ImageElement> elements;
  JsonParser* parser = json_parser_new_immutable();
  GError* error = nullptr;
  if (!json_parser_load_from_data(parser, json.data(), static_cast<gssize>(json.size()), &error)) {
    g_warning("Could not read the page's images: %s", error->message);
    g_error_free(error);
    g_object_unref(parser);
    return elements;
  }
  JsonNode* root = json_parser_get_root(parser);
  JsonArray* records = root && JSON_NODE_HOLDS_ARRAY(root) ? json_node_get_array(root) : nullptr;
  const guint count = records ? json_array_get_length(records) : 0;
  elements.reserve(count);
  for (guint i = 0; i < count; ++i) {
    JsonNode* node = json_array_get_element(records, i);
    if (!JSON_NODE_HOLDS_OBJECT(node)) continue;
    JsonObject* record = json_node_get_object(node);
    ImageElement element;
    element.tag = Member(record, "t");
    element.currentUrl = Member(record, "u");
    element.naturalWidth = Size(record, "w");
    element.naturalHeight = Size(record, "h");
    element.computedBackground = Member(record, "b");
    element.pictureSources = StringArray(record, "s");
    std::vector<std::string> attributes = StringArray(record, "a");
    for (std::size_t a = 0; a + 1 < attributes.size(); a += 2) {
      // The DOM gives HTML attribute names in lower case already.
      element.attributes.emplace_back(std::move(attributes[a]), std::move(attributes[a + 1]));
    }
    elements.push_back(std::move(element));
  }
  g_object_unref(parser);
  return elements;
}

std::vector<std::string> ParseStringList(std::string_view json) {
  std::vector<std::string> out;
  g_autoptr(JsonParser) parser = json_parser_new_immutable();
  if (!json_parser_load_from_data(parser, json.data(), static_cast<gssize>(json.size()), nullptr)) {
    return out;
  }
  JsonNode* root = json_parser_get_root(parser);
  JsonArray* array = root && JSON_NODE_HOLDS_ARRAY(root) ? json_node_get_array(root) : nullptr;
  const guint length = array ? json_array_get_length(array) : 0;
  for (guint i = 0; i < length; ++i) {
    JsonNode* node = json_array_get_element(array, i);
    if (JSON_NODE_HOLDS_VALUE(node) && json_node_get_value_type(node) == G_TYPE_STRING) {
      out.push_back(Text(json_node_get_string(node)));
    }
  }
  return out;
}

}  // namespace velmora
