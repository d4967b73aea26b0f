// The version record: the note the build writes into every program, as the running program
// reads it from its own memory and as readelf lists it; notes that lie about their sizes; and
// the fields of good and bad records.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/VersionRecord.h"

namespace velmora {
namespace {

using Kind = VersionRecordError::Kind;
namespace keys = version_keys;

// The project's fields, as CMake passes them (tests/CMakeLists.txt).
const VersionRecord kExpected{VELMORA_EXPECT_PRODUCT_NAME,
                              VELMORA_EXPECT_COMPANY_NAME,
                              VELMORA_EXPECT_WEBSITE,
                              {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR},
                              {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR}};

// The bytes of notes, as a PT_NOTE segment holds them.
struct Bytes {
  explicit Bytes(std::string text) : text_(std::move(text)) {}
  operator std::span<const std::byte>() const {  // NOLINT: a segment is bytes
    return {reinterpret_cast<const std::byte*>(text_.data()), text_.size()};
  }
  std::string text_;
};

std::string Word(std::uint32_t value) {
  std::string word(4, '\0');
  std::memcpy(word.data(), &value, 4);
  return word;
}

std::string Padded(std::string text, std::size_t alignment) {
  text.resize((text.size() + alignment - 1) / alignment * alignment, '\0');
  return text;
}

// One note: header, owner with its NUL, desc; padded to `alignment`.
std::string Note(std::string_view owner, std::uint32_t type, std::string_view desc,
                 std::size_t alignment = 4) {
  const std::string name = std::string(owner) + '\0';
  return Word(static_cast<std::uint32_t>(name.size())) +
         Word(static_cast<std::uint32_t>(desc.size())) + Word(type) + Padded(name, alignment) +
         Padded(std::string(desc), alignment);
}

// The desc written here by hand from the format's description, not by the encoder.
std::string ExpectedDesc(const VersionRecord& record) {
  auto version = [](VersionNumber v) {
    return std::to_string(v.major) + "." + (v.minor < 10 ? "0" : "") + std::to_string(v.minor);
  };
  std::string desc;
  for (const auto& [key, value] :
       {std::pair{keys::kProductName, record.productName},
        std::pair{keys::kCompanyName, record.companyName},
        std::pair{keys::kComments, record.comments},
        std::pair{keys::kFileVersion, version(record.fileVersion)},
        std::pair{keys::kProductVersion, version(record.productVersion)}}) {
    desc += std::string(key) + "=" + value + '\0';
  }
  return desc;
}

// ---- The running program -------------------------------------------------------------------

TEST(VersionRecordTest, TheRunningProgramReadsItsOwnRecord) {
  VersionRecordError error;
  const std::optional<VersionRecord> record = ReadLoadedVersionRecord(&error);
  ASSERT_TRUE(record) << error.message;
  EXPECT_EQ(*record, kExpected);
}

// readelf lists the note with its owner and the strings of the section.
TEST(VersionRecordTest, ReadelfShowsTheNote) {
  gchar* readelf = g_find_program_in_path("readelf");
  if (readelf == nullptr) GTEST_SKIP() << "readelf is not installed";
  auto run = [readelf](std::vector<std::string> args) {
    std::vector<char*> argv{readelf};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    gchar* out = nullptr;
    gint status = 0;
    std::string text;
    if (g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr,
                     &out, nullptr, &status, nullptr) &&
        g_spawn_check_wait_status(status, nullptr)) {
      text = out;
    }
    g_free(out);
    return text;
  };
  for (const char* program : {VELMORA_EXE, VELMORA_ANALYZE}) {
    SCOPED_TRACE(program);
    const std::string notes = run({"-n", program});
    const std::string strings = run({"-p", std::string(kVersionNoteSection), program});

    char size[16];
    std::snprintf(size, sizeof size, "0x%08zx", ExpectedDesc(kExpected).size());
    bool listed = false;
    const std::size_t start = notes.find(std::string(kVersionNoteSection));
    ASSERT_NE(start, std::string::npos) << notes;
    for (std::size_t at = start; at < notes.size();) {
      const std::size_t end = std::min(notes.find('\n', at), notes.size());
      const std::string line = notes.substr(at, end - at);
      const std::size_t first = line.find_first_not_of(' ');
      listed = listed || (first != std::string::npos &&
                          line.compare(first, kVersionNoteOwner.size() + 1,
                                       std::string(kVersionNoteOwner) + " ") == 0 &&
                          line.find(size) != std::string::npos);
      at = end + 1;
    }
    EXPECT_TRUE(listed) << "no note of owner " << kVersionNoteOwner << " with " << size
                        << " bytes in:\n"
                        << notes;
    for (const auto& [key, value] : {std::pair{keys::kProductName, kExpected.productName},
                                     std::pair{keys::kCompanyName, kExpected.companyName},
                                     std::pair{keys::kComments, kExpected.comments}}) {
      EXPECT_NE(strings.find(std::string(key) + "=" + value), std::string::npos)
          << key << " missing from:\n"
          << strings;
    }
  }
  g_free(readelf);
}

// ---- Notes ---------------------------------------------------------------------------------

// Where the reader looks among a segment's notes, and notes whose sizes lie.
TEST(VersionRecordTest, TheNoteAmongOthersAndNotesThatLie) {
  const std::string good = Note(kVersionNoteOwner, kVersionNoteType, ExpectedDesc(kExpected));
  const std::string gnu = Note("GNU", 3, "0123456789abcdef");
  std::string tooLong = good;
  tooLong.replace(4, 4, Word(1000));  // descsz past the segment
  std::string hugeName = good;
  hugeName.replace(0, 4, Word(0xFFFFFFFFu));
  struct Case {
    const char* name;
    std::string notes;
    std::size_t alignment;
    std::optional<Kind> failure;  // nothing: the record is found
  };
  const Case cases[] = {
      {"alone", good, 4, std::nullopt},
      {"after another owner's note", gnu + good, 4, std::nullopt},
      {"in a segment aligned to 8",
       Note("GNU", 5, "abc", 8) +
           Note(kVersionNoteOwner, kVersionNoteType, ExpectedDesc(kExpected), 8),
       8, std::nullopt},
      {"empty segment", "", 4, Kind::kNoRecord},
      {"another owner only", gnu, 4, Kind::kNoRecord},
      {"our owner, another type", Note(kVersionNoteOwner, 2, ExpectedDesc(kExpected)), 4,
       Kind::kNoRecord},
      {"an owner that only starts like ours", Note("Velmoras", kVersionNoteType, "x"), 4,
       Kind::kNoRecord},
      {"a cut-off header", gnu + "\x08\0\0", 4, Kind::kMalformedNote},
      {"a desc past the end", tooLong, 4, Kind::kMalformedNote},
      {"a name past the end", hugeName, 4, Kind::kMalformedNote},
      {"a desc longer than a record may be",
       Note(kVersionNoteOwner, kVersionNoteType, std::string(kVersionNoteMaxDesc + 1, 'x')), 4,
       Kind::kMalformedRecord},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VersionRecordError error;
    const std::optional<VersionRecord> record =
        FindVersionRecordInNotes(Bytes(c.notes), c.alignment, &error);
    if (!c.failure) {
      EXPECT_EQ(record, kExpected) << error.message;
      continue;
    }
    EXPECT_FALSE(record);
    EXPECT_EQ(error.kind, *c.failure) << error.message;
    EXPECT_FALSE(error.message.empty());
  }
}

// ---- The fields ------------------------------------------------------------------------------

// A desc from "key=value" fields; `without` leaves one key out.
std::string Desc(std::vector<std::pair<std::string_view, std::string>> fields) {
  std::string desc;
  for (const auto& [key, value] : fields) desc += std::string(key) + "=" + value + '\0';
  return desc;
}

std::vector<std::pair<std::string_view, std::string>> GoodFields() {
  return {{keys::kProductName, "Velmora"},
          {keys::kCompanyName, "Tarnwick"},
          {keys::kComments, "www.tarnwick.example"},
          {keys::kFileVersion, "2.00"},
          {keys::kProductVersion, "2.00"}};
}

std::string DescWith(std::string_view key, const std::string& value) {
  auto fields = GoodFields();
  for (auto& field : fields) {
    if (field.first == key) field.second = value;
  }
  return Desc(fields);
}

TEST(VersionRecordTest, GoodRecords) {
  const VersionRecord base{"Velmora", "Tarnwick", "www.tarnwick.example", {2, 0}, {2, 0}};
  auto with = [&base](const std::function<void(VersionRecord&)>& change) {
    VersionRecord record = base;
    change(record);
    return record;
  };
  auto reversed = GoodFields();
  std::reverse(reversed.begin(), reversed.end());
  auto extra = GoodFields();
  extra.insert(extra.begin() + 2, {"BuildHost", "ci=7 (x86_64)"});
  struct Case {
    const char* name;
    std::string desc;
    VersionRecord expected;
  };
  const Case cases[] = {
      {"as written", Desc(GoodFields()), base},
      {"in another order", Desc(reversed), base},
      {"with a key not known here", Desc(extra), base},
      {"UTF-8 company", DescWith(keys::kCompanyName, "T\xC3\xA5rnwick \xE2\x84\xA2"),
       with([](VersionRecord& r) { r.companyName = "T\xC3\xA5rnwick \xE2\x84\xA2"; })},
      {"'=' in a value", DescWith(keys::kProductName, "a=b"),
       with([](VersionRecord& r) { r.productName = "a=b"; })},
      {"version 10.5", DescWith(keys::kFileVersion, "10.5"), with([](VersionRecord& r) {
         r.fileVersion = {10, 5};
       })},
      {"version 0.00", DescWith(keys::kProductVersion, "0.00"), with([](VersionRecord& r) {
         r.productVersion = {0, 0};
       })},
      {"largest version", DescWith(keys::kFileVersion, "65535.65535"), with([](VersionRecord& r) {
         r.fileVersion = {65535, 65535};
       })},
      {"single-label host", DescWith(keys::kComments, "localhost"),
       with([](VersionRecord& r) { r.comments = "localhost"; })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VersionRecordError error;
    EXPECT_EQ(DecodeVersionRecord(c.desc, &error), c.expected) << error.message;
    // The same record among a segment's notes.
    EXPECT_EQ(FindVersionRecordInNotes(Bytes(Note(kVersionNoteOwner, kVersionNoteType, c.desc)), 4),
              c.expected);
  }
}

TEST(VersionRecordTest, BadRecords) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""},
      {"no closing NUL", Desc(GoodFields()).substr(0, Desc(GoodFields()).size() - 1)},
      {"padding counted in descsz", Desc(GoodFields()) + std::string(3, '\0')},
      {"an empty field in the middle", Desc(GoodFields()) + '\0' + "X=y" + '\0'},
      {"a field without '='", Desc(GoodFields()) + "Loose" + '\0'},
      {"an empty key", Desc(GoodFields()) + "=value" + '\0'},
      {"a key twice", Desc(GoodFields()) + std::string(keys::kCompanyName) + "=Other" + '\0'},
      {"an empty value", DescWith(keys::kProductName, "")},
      {"a newline in a value", DescWith(keys::kCompanyName, "Tarn\nwick")},
      {"DEL in a value", DescWith(keys::kCompanyName, "Tarn\x7Fwick")},
      {"a C1 control", DescWith(keys::kCompanyName, "Tarn\xC2\x85wick")},
      {"not UTF-8", DescWith(keys::kProductName, "Velm\xFFra")},
      {"overlong UTF-8", DescWith(keys::kProductName, "Velm\xC0\xAFra")},
      {"a surrogate", DescWith(keys::kProductName, "Velm\xED\xA0\x80ra")},
      {"UTF-8 cut off", DescWith(keys::kProductName, "Velmora\xE2\x84")},
      {"a website with a scheme", DescWith(keys::kComments, "https://www.tarnwick.example")},
      {"a website with a path", DescWith(keys::kComments, "www.tarnwick.example/about")},
      {"a website with a port", DescWith(keys::kComments, "www.tarnwick.example:80")},
      {"a website with a user", DescWith(keys::kComments, "me@www.tarnwick.example")},
      {"a website with an empty label", DescWith(keys::kComments, "www..example")},
      {"a website ending in a dot", DescWith(keys::kComments, "www.tarnwick.example.")},
      {"a website label starting with '-'", DescWith(keys::kComments, "-www.example")},
      {"a website label of 64", DescWith(keys::kComments, std::string(64, 'a') + ".example")},
      {"a website with a space", DescWith(keys::kComments, "www tarnwick.example")},
  };
  for (const std::string_view key : {keys::kProductName, keys::kCompanyName, keys::kComments,
                                     keys::kFileVersion, keys::kProductVersion}) {
    auto fields = GoodFields();
    std::erase_if(fields, [key](const auto& field) { return field.first == key; });
    cases.emplace_back("no " + std::string(key), Desc(fields));
  }
  for (const char* version : {"2", "2.", ".0", "", "2.0.1", "-1.0", "+2.0", "2.x0", " 2.0", "2.0 ",
                              "65536.0", "0.65536", "99999999999.0", "2,00", "0x2.0"}) {
    cases.emplace_back(std::string("file version '") + version + "'",
                       DescWith(keys::kFileVersion, version));
    cases.emplace_back(std::string("product version '") + version + "'",
                       DescWith(keys::kProductVersion, version));
  }
  for (const auto& [name, desc] : cases) {
    SCOPED_TRACE(name);
    VersionRecordError error;
    EXPECT_FALSE(DecodeVersionRecord(desc, &error));
    EXPECT_EQ(error.kind, Kind::kMalformedRecord);
    EXPECT_FALSE(error.message.empty());
    // The same record among a segment's notes: refused for the same reason.
    VersionRecordError inNotes;
    EXPECT_FALSE(FindVersionRecordInNotes(Bytes(Note(kVersionNoteOwner, kVersionNoteType, desc)), 4,
                                          &inNotes));
    EXPECT_EQ(inNotes.message, error.message);
  }
}

TEST(VersionRecordTest, VersionText) {
  struct Case {
    VersionNumber version;
    const char* text;
  };
  const Case cases[] = {
      {{2, 0}, "2.00"}, {{2, 5}, "2.05"},      {{2, 10}, "2.10"},
      {{0, 0}, "0.00"}, {{12, 345}, "12.345"}, {{65535, 65535}, "65535.65535"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatVersion(c.version), c.text);
    EXPECT_EQ(ParseVersion(c.text), c.version);
  }
}

// The encoder writes what the decoder reads, for the fields of this build and others.
TEST(VersionRecordTest, EncodedFieldsReadBack) {
  const VersionFields cases[] = {
      {VELMORA_EXPECT_PRODUCT_NAME,
       VELMORA_EXPECT_COMPANY_NAME,
       VELMORA_EXPECT_WEBSITE,
       {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR},
       {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR}},
      {"A", "B", "c", {0, 0}, {65535, 1}},
      {"Name with spaces", "Caf\xC3\xA9", "x-1.y-2.example", {7, 99}, {8, 100}},
  };
  for (const VersionFields& fields : cases) {
    SCOPED_TRACE(fields.productName);
    ASSERT_TRUE(IsValidVersionFields(fields));
    const std::string desc = EncodeVersionDesc(fields);
    EXPECT_EQ(desc.size(), VersionDescSize(fields));
    const VersionRecord expected{std::string(fields.productName), std::string(fields.companyName),
                                 std::string(fields.comments), fields.fileVersion,
                                 fields.productVersion};
    EXPECT_EQ(ExpectedDesc(expected), desc);
    EXPECT_EQ(DecodeVersionRecord(desc), expected);
  }
}

}  // namespace
}  // namespace velmora
