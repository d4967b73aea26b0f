// The program's version record: what it holds, how the build writes it into every Velmora
// executable (an ELF note), and how the running program reads it back from its own memory.
//
// The note sits in its own section, ".note.velmora.version" (SHT_NOTE, allocated, 4-byte
// aligned, so the linker also lists it in a PT_NOTE segment). Like every ELF note it is
//
//   namesz  4 bytes   8: the owner "Velmora" and its NUL
//   descsz  4 bytes   the length of the fields below, without the padding after them
//   type    4 bytes   kVersionNoteType, 1 (readelf -n calls it NT_VERSION, the generic one)
//   name    8 bytes   "Velmora\0"
//   desc    descsz    one "key=value\0" string per field, then NULs up to a multiple of 4
//
// with the numbers in the machine's byte order. The fields,
// each once, in any order (a reader skips keys it does not know):
//
//   ProductName=Velmora            CompanyName=Tarnwick
//   Comments=www.tarnwick.example  (the maker's website, a bare host name)
//   FileVersion=2.00               ProductVersion=2.00   (major "." minor, minor two digits)
//
// Values are non-empty UTF-8 without control characters. The build makes the note at compile
// time with MakeVersionNote (cmake/VersionNote.cpp.in), from the project's name, version,
// homepage and company; the loader maps it with the program (it is in a PT_NOTE segment), and
// ReadLoadedVersionRecord reads it there. `readelf -n` lists the note, `readelf -p
// .note.velmora.version` its strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The note's section, as a literal for the section attribute of the generated source.
#define VELMORA_VERSION_NOTE_SECTION ".note.velmora.version"

namespace velmora {

// ---- The format ------------------------------------------------------------------------------

inline constexpr std::string_view kVersionNoteSection = VELMORA_VERSION_NOTE_SECTION;
inline constexpr std::string_view kVersionNoteOwner = "Velmora";  // stored with its NUL
inline constexpr std::uint32_t kVersionNoteType = 1;
// A longer desc is refused when read back (the record is about a hundred bytes).
inline constexpr std::size_t kVersionNoteMaxDesc = 4096;

// The field names.
namespace version_keys {
inline constexpr std::string_view kProductName = "ProductName";
inline constexpr std::string_view kCompanyName = "CompanyName";
inline constexpr std::string_view kComments = "Comments";
inline constexpr std::string_view kFileVersion = "FileVersion";
inline constexpr std::string_view kProductVersion = "ProductVersion";
}  // namespace version_keys

// ---- The record ------------------------------------------------------------------------------

// A version "major.minor"; each part 0..kVersionPartMax.
struct VersionNumber {
  int major = 0;
  int minor = 0;
  friend bool operator==(const VersionNumber&, const VersionNumber&) = default;
};
inline constexpr int kVersionPartMax = 65535;

struct VersionRecord {
  std::string productName;
  std::string companyName;
  std::string comments;  // the maker's website, a bare host name
  VersionNumber fileVersion;
  VersionNumber productVersion;
  friend bool operator==(const VersionRecord&, const VersionRecord&) = default;
};

// Why a record could not be read.
struct VersionRecordError {
  enum class Kind {
    kNoRecord,         // no version note among the program's notes
    kMalformedNote,    // a note runs past the end of its segment
    kMalformedRecord,  // the note is there, but its fields are not a valid record
  };
  Kind kind = Kind::kNoRecord;
  std::string message;  // what is wrong, in a few words
};

// ---- Reading it back -------------------------------------------------------------------------

// The record of the running program, from the note segments the loader mapped; nothing (and
// why, when error is given) when it has none or it is malformed.
std::optional<VersionRecord> ReadLoadedVersionRecord(VersionRecordError* error = nullptr);

// The record among the notes of one PT_NOTE segment (`alignment` is the segment's, 4 or 8).
std::optional<VersionRecord> FindVersionRecordInNotes(std::span<const std::byte> notes,
                                                      std::size_t alignment,
                                                      VersionRecordError* error = nullptr);

// The record held by a note's desc (the "key=value\0" strings, without the padding).
std::optional<VersionRecord> DecodeVersionRecord(std::string_view desc,
                                                 VersionRecordError* error = nullptr);

// "2.00": the major part, ".", the minor part with at least two digits.
std::string FormatVersion(VersionNumber version);

// "2.00" back to {2, 0}; nothing unless the text is digits "." digits, each part in range.
std::optional<VersionNumber> ParseVersion(std::string_view text);

// ---- Rules shared by the writer (at compile time) and the reader -----------------------------

// Text a field may hold: not empty, valid UTF-8, no control characters (so no NUL either).
constexpr bool IsRecordText(std::string_view text) {
  if (text.empty()) return false;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x20 || lead == 0x7F) return false;
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // A multi-byte sequence: its length, and the smallest code point it may carry (shorter
    // forms of the same character are not UTF-8).
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    std::uint32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1Fu;
      smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0Fu;
      smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07u;
      smallest = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) return false;
      codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF) return false;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return false;  // UTF-16 surrogates
    if (codePoint >= 0x80 && codePoint <= 0x9F) return false;      // C1 controls
    i += length;
  }
  return true;
}

// A bare host name ("www.tarnwick.example"): labels of 1-63 letters, digits and inner hyphens,
// joined by dots, at most 253 characters; no scheme, port, path or user.
constexpr bool IsBareHostName(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  std::size_t labelStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      const std::size_t length = i - labelStart;
      if (length == 0 || length > 63) return false;
      if (text[labelStart] == '-' || text[i - 1] == '-') return false;
      labelStart = i + 1;
      continue;
    }
    const char c = text[i];
    const bool allowed =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (!allowed) return false;
  }
  return true;
}

constexpr bool IsVersionInRange(VersionNumber version) {
  return version.major >= 0 && version.major <= kVersionPartMax && version.minor >= 0 &&
         version.minor <= kVersionPartMax;
}

// ---- Writing it (the build's side) -----------------------------------------------------------

// The fields as the build writes them (views, so that the note can be made at compile time).
struct VersionFields {
  std::string_view productName;
  std::string_view companyName;
  std::string_view comments;
  VersionNumber fileVersion;
  VersionNumber productVersion;
};

constexpr bool IsValidVersionFields(const VersionFields& fields) {
  return IsRecordText(fields.productName) && IsRecordText(fields.companyName) &&
         IsBareHostName(fields.comments) && IsVersionInRange(fields.fileVersion) &&
         IsVersionInRange(fields.productVersion);
}

namespace version_note_detail {

// Writes a number in decimal, with at least minDigits digits.
template <typename Put>
constexpr void PutNumber(int value, int minDigits, Put& put) {
  char digits[12] = {};
  int count = 0;
  auto rest = static_cast<unsigned>(value);
  do {
    digits[count++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  while (count < minDigits) digits[count++] = '0';
  while (count > 0) put(digits[--count]);
}

template <typename Put>
constexpr void PutVersion(VersionNumber version, Put& put) {
  PutNumber(version.major, 1, put);
  put('.');
  PutNumber(version.minor, 2, put);
}

// Writes the desc through put(char): one "key=value\0" string per field.
template <typename Put>
constexpr void PutDesc(const VersionFields& fields, Put& put) {
  auto text = [&put](std::string_view key, std::string_view value) {
    for (const char c : key) put(c);
    put('=');
    for (const char c : value) put(c);
    put('\0');
  };
  auto version = [&put](std::string_view key, VersionNumber value) {
    for (const char c : key) put(c);
    put('=');
    PutVersion(value, put);
    put('\0');
  };
  text(version_keys::kProductName, fields.productName);
  text(version_keys::kCompanyName, fields.companyName);
  text(version_keys::kComments, fields.comments);
  version(version_keys::kFileVersion, fields.fileVersion);
  version(version_keys::kProductVersion, fields.productVersion);
}

constexpr std::size_t PadTo4(std::size_t size) {
  return (size + 3) / 4 * 4;
}

}  // namespace version_note_detail

// The length of the desc that holds these fields.
constexpr std::size_t VersionDescSize(const VersionFields& fields) {
  std::size_t size = 0;
  auto count = [&size](char) { ++size; };
  version_note_detail::PutDesc(fields, count);
  return size;
}

// The desc as a string (for tests and tools that build notes of their own).
std::string EncodeVersionDesc(const VersionFields& fields);

// The note exactly as it lies in the section.
template <std::size_t DescSize>
struct VersionNoteImage {
  std::uint32_t namesz;
  std::uint32_t descsz;
  std::uint32_t type;
  char name[version_note_detail::PadTo4(kVersionNoteOwner.size() + 1)];
  char desc[version_note_detail::PadTo4(DescSize)];
};

template <std::size_t DescSize>
constexpr VersionNoteImage<DescSize> MakeVersionNote(const VersionFields& fields) {
  VersionNoteImage<DescSize> note{};  // zeros: the NUL after the owner and all padding
  note.namesz = static_cast<std::uint32_t>(kVersionNoteOwner.size() + 1);
  note.descsz = static_cast<std::uint32_t>(DescSize);
  note.type = kVersionNoteType;
  for (std::size_t i = 0; i < kVersionNoteOwner.size(); ++i) note.name[i] = kVersionNoteOwner[i];
  std::size_t at = 0;
  auto put = [&note, &at](char c) { note.desc[at++] = c; };
  version_note_detail::PutDesc(fields, put);
  return note;
}

// Defined beside the note in the generated source. Nothing calls into that object file, so a
// program that must carry the note refers to this (the identity module does), and the linker
// brings the note along from a static library.
extern const char kVersionNoteAnchor;

}  // namespace velmora
