// The program's version record: an ELF note the build writes into every Velmora program
// (cmake/VersionNote.cpp.in, from the project's name, version and homepage and VELMORA_COMPANY)
// in the section ".note.velmora.version", which `readelf -n` lists: owner "Velmora", type 1,
// then one "key=value" string per field, each ending in a NUL (ProductName=Velmora,
// CompanyName=Tarnwick, Comments=www.tarnwick.example, FileVersion=2.00, ProductVersion=2.00).
// The program reads the fields through the symbol defined beside the note, kVersionNoteFields.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace velmora {

struct VersionNumber {
  int major = 0;
  int minor = 0;
  friend bool operator==(const VersionNumber&, const VersionNumber&) = default;
};

struct VersionRecord {
  std::string productName;
  std::string companyName;
  std::string comments;  // the maker's website, a bare host name
  VersionNumber fileVersion;
  VersionNumber productVersion;
  friend bool operator==(const VersionRecord&, const VersionRecord&) = default;
};

// The note's fields in the program's memory. Weak: in a program built without the note (one
// that does not link velmora_version_note) its address is null.
struct VersionNoteFields {
  const char* text;  // the "key=value\0" strings
  std::size_t size;
};
[[gnu::weak]] extern const VersionNoteFields kVersionNoteFields;

// The running program's record; nothing when it carries no note or the note lacks a field.
std::optional<VersionRecord> ReadVersionRecord();

}  // namespace velmora
