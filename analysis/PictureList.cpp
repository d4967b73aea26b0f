#include "analysis/PictureList.h"

#include <json-glib/json-glib.h>

namespace velmora {

namespace {

void AddString(JsonBuilder* json, const char* member, std::string_view value) {
  json_builder_set_member_name(json, member);
  json_builder_add_string_value(json, std::string(value).c_str());
}

void AddInt(JsonBuilder* json, const char* member, gint64 value) {
  json_builder_set_member_name(json, member);
  json_builder_add_int_value(json, value);
}

// One CSV field: quoted when it must be, and never read as a formula.
void AppendField(std::string& line, std::string_view text) {
  std::string field;
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
    field = "'";
  }
  field.append(text);
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    line.append(field);
    return;
  }
  line.push_back('"');
  for (char c : field) {
    if (c == '"') line.push_back('"');
    line.push_back(c);
  }
  line.push_back('"');
}

}  // namespace

void AddCensusItem(JsonBuilder* json, const CensusImage& image, const std::string* file) {
  json_builder_begin_object(json);
  AddString(json, "url", image.url);
  AddString(json, "name", image.name);
  AddString(json, "kind", KindName(image.kind));
  AddInt(json, "width", image.width);
  AddInt(json, "height", image.height);
  AddString(json, "type", image.type);
  AddInt(json, "bytes", static_cast<gint64>(image.bytes));
  AddString(json, "frame", image.frame);
  if (file != nullptr) AddString(json, "file", *file);
  json_builder_end_object(json);
}

std::string JsonText(JsonBuilder* json) {
  JsonNode* root = json_builder_get_root(json);
  JsonGenerator* generator = json_generator_new();
  json_generator_set_pretty(generator, TRUE);
  json_generator_set_root(generator, root);
  gchar* text = json_generator_to_data(generator, nullptr);
  std::string out = text;
  g_free(text);
  g_object_unref(generator);
  json_node_unref(root);
  return out + "\n";
}

std::string PictureListJson(std::string_view pageUrl,
                            const std::vector<const CensusImage*>& pictures) {
  JsonBuilder* json = json_builder_new();
  json_builder_begin_object(json);
  AddString(json, "url", pageUrl);
  json_builder_set_member_name(json, "census");
  json_builder_begin_array(json);
  for (const CensusImage* picture : pictures) AddCensusItem(json, *picture);
  json_builder_end_array(json);
  json_builder_end_object(json);
  std::string text = JsonText(json);
  g_object_unref(json);
  return text;
}

std::string PictureListCsv(const std::vector<const CensusImage*>& pictures) {
  std::string csv = "url,name,kind,width,height,type,bytes,frame\r\n";
  for (const CensusImage* picture : pictures) {
    for (std::string_view text : {std::string_view(picture->url), std::string_view(picture->name),
                                  KindName(picture->kind)}) {
      AppendField(csv, text);
      csv.push_back(',');
    }
    csv.append(std::to_string(picture->width)).push_back(',');
    csv.append(std::to_string(picture->height)).push_back(',');
    AppendField(csv, picture->type);
    csv.push_back(',');
    csv.append(std::to_string(picture->bytes)).push_back(',');
    AppendField(csv, picture->frame);
    csv.append("\r\n");
  }
  return csv;
}

}  // namespace velmora
