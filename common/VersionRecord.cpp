// Reads the version record back from the running program: finds the Velmora note in the PT_NOTE
// segments the loader mapped, checking every note's sizes against its segment, and decodes its
// fields.
#include "common/VersionRecord.h"

#include <elf.h>
#include <link.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace velmora {
namespace {

using Kind = VersionRecordError::Kind;

// A value for a message: short, and only text that passed IsRecordText.
std::string Quoted(std::string_view value) {
  constexpr std::size_t kShown = 32;
  if (value.size() <= kShown) return "\"" + std::string(value) + "\"";
  return "\"" + std::string(value.substr(0, kShown)) + "...\"";
}

std::uint32_t Word(std::span<const std::byte> bytes, std::size_t at) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// ---- The fields ------------------------------------------------------------------------------

struct FieldSlot {
  std::string_view key;
  std::optional<std::string_view> value;
};

}  // namespace

std::string EncodeVersionDesc(const VersionFields& fields) {
  std::string desc;
  desc.reserve(VersionDescSize(fields));
  auto put = [&desc](char c) { desc.push_back(c); };
  version_note_detail::PutDesc(fields, put);
  return desc;
}

std::string FormatVersion(VersionNumber version) {
  std::string text;
  auto put = [&text](char c) { text.push_back(c); };
  version_note_detail::PutVersion(version, put);
  return text;
}

std::optional<VersionNumber> ParseVersion(std::string_view text) {
  // At most 5 digits a part: enough for kVersionPartMax, and no overflow on the way.
  auto part = [](std::string_view digits) -> std::optional<int> {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    int value = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value > kVersionPartMax) return std::nullopt;
    return value;
  };
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::optional<int> major = part(text.substr(0, dot));
  const std::optional<int> minor = part(text.substr(dot + 1));
  if (!major || !minor) return std::nullopt;
  return VersionNumber{*major, *minor};
}

std::optional<VersionRecord> DecodeVersionRecord(std::string_view desc, VersionRecordError* error) {
  auto fail = [error](std::string message) -> std::optional<VersionRecord> {
    if (error != nullptr) *error = {Kind::kMalformedRecord, std::move(message)};
    return std::nullopt;
  };
  if (desc.empty()) return fail("the version record is empty");
  if (desc.back() != '\0') return fail("the version record's last field has no closing NUL");

  namespace keys = version_keys;
  enum Field {
    kProductField,
    kCompanyField,
    kCommentsField,
    kFileVersionField,
    kProductVersionField,
    kFieldCount
  };
  std::array<FieldSlot, kFieldCount> slots{{{keys::kProductName, {}},
                                            {keys::kCompanyName, {}},
                                            {keys::kComments, {}},
                                            {keys::kFileVersion, {}},
                                            {keys::kProductVersion, {}}}};
  std::size_t fieldNumber = 0;
  for (std::string_view rest = desc.substr(0, desc.size() - 1);;) {
    ++fieldNumber;
    const std::size_t end = rest.find('\0');
    const std::string_view field = rest.substr(0, end);
    const std::size_t equals = field.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      return fail("field " + std::to_string(fieldNumber) +
                  " of the version record is not key=value");
    }
    const std::string_view key = field.substr(0, equals);
    const std::string_view value = field.substr(equals + 1);
    // Keys this program does not know are skipped: a later build may add fields.
    for (FieldSlot& slot : slots) {
      if (slot.key != key) continue;
      if (slot.value) return fail("the version record holds " + std::string(key) + " twice");
      if (!IsRecordText(value)) {
        return fail("the version record's " + std::string(key) +
                    " is empty, not UTF-8 or holds control characters");
      }
      slot.value = value;
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  for (const FieldSlot& slot : slots) {
    if (!slot.value) return fail("the version record has no " + std::string(slot.key));
  }

  VersionRecord record;
  record.productName = *slots[kProductField].value;
  record.companyName = *slots[kCompanyField].value;
  record.comments = *slots[kCommentsField].value;
  if (!IsBareHostName(record.comments)) {
    return fail("the version record's " + std::string(keys::kComments) + " " +
                Quoted(record.comments) + " is not a bare host name");
  }
  auto notVersion = [&](Field field) {
    return fail("the version record's " + std::string(slots[field].key) + " " +
                Quoted(*slots[field].value) + " is not major.minor (0-" +
                std::to_string(kVersionPartMax) + " each)");
  };
  const std::optional<VersionNumber> fileVersion = ParseVersion(*slots[kFileVersionField].value);
  if (!fileVersion) return notVersion(kFileVersionField);
  const std::optional<VersionNumber> productVersion =
      ParseVersion(*slots[kProductVersionField].value);
  if (!productVersion) return notVersion(kProductVersionField);
  record.fileVersion = *fileVersion;
  record.productVersion = *productVersion;
  return record;
}

std::optional<VersionRecord> FindVersionRecordInNotes(std::span<const std::byte> notes,
                                                      std::size_t alignment,
                                                      VersionRecordError* error) {
  auto fail = [error](Kind kind, std::string message) -> std::optional<VersionRecord> {
    if (error != nullptr) *error = {kind, std::move(message)};
    return std::nullopt;
  };
  if (alignment != 8) alignment = 4;
  const auto padded = [alignment](std::uint64_t size) {
    return (size + alignment - 1) / alignment * alignment;
  };
  constexpr std::size_t kHeader = 12;
  std::size_t at = 0;
  while (at < notes.size()) {
    if (notes.size() - at < kHeader) return fail(Kind::kMalformedNote, "a note header is cut off");
    const std::uint64_t namesz = Word(notes, at);
    const std::uint64_t descsz = Word(notes, at + 4);
    const std::uint32_t type = Word(notes, at + 8);
    const std::uint64_t nameAt = at + kHeader;
    const std::uint64_t descAt = nameAt + padded(namesz);
    const std::uint64_t end = descAt + padded(descsz);
    if (descAt + descsz > notes.size()) {
      return fail(Kind::kMalformedNote, "a note runs past the end of its segment");
    }
    const std::string_view name(reinterpret_cast<const char*>(notes.data() + nameAt), namesz);
    if (type == kVersionNoteType && name.size() == kVersionNoteOwner.size() + 1 &&
        name.substr(0, kVersionNoteOwner.size()) == kVersionNoteOwner && name.back() == '\0') {
      if (descsz > kVersionNoteMaxDesc) {
        return fail(Kind::kMalformedRecord, "the version record is longer than " +
                                                std::to_string(kVersionNoteMaxDesc) + " bytes");
      }
      return DecodeVersionRecord(
          std::string_view(reinterpret_cast<const char*>(notes.data() + descAt), descsz), error);
    }
    at = static_cast<std::size_t>(std::min<std::uint64_t>(end, notes.size()));
  }
  return fail(Kind::kNoRecord, "the program has no version note");
}

std::optional<VersionRecord> ReadLoadedVersionRecord(VersionRecordError* error) {
  struct Search {
    std::optional<VersionRecord> record;
    VersionRecordError error{Kind::kNoRecord, "the program has no version note"};
  } search;
  // The first object the loader reports is the program itself.
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto& found = *static_cast<Search*>(data);
        for (ElfW(Half) i = 0; i < info->dlpi_phnum && !found.record; ++i) {
          const ElfW(Phdr)& segment = info->dlpi_phdr[i];
          if (segment.p_type != PT_NOTE) continue;
          const auto* start = reinterpret_cast<const std::byte*>(info->dlpi_addr + segment.p_vaddr);
          VersionRecordError why;
          found.record =
              FindVersionRecordInNotes(std::span(start, segment.p_memsz), segment.p_align, &why);
          // A note that is there but wrong says more than a segment without one.
          if (!found.record && why.kind != Kind::kNoRecord) found.error = why;
        }
        return 1;
      },
      &search);
  if (!search.record && error != nullptr) *error = search.error;
  return search.record;
}

}  // namespace velmora
