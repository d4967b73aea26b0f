// Reads the version record back from an executable: checks the ELF header and tables against
// the file's size, finds the Velmora note in the PT_NOTE segments (or, failing that, the SHT_NOTE
// sections) and decodes its fields. Nothing is read before its range has been checked.
#include "common/VersionRecord.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace velmora {
namespace {

// The headers are copied out of the file as they are, which gives the right numbers only on a
// little-endian host; the reader accepts little-endian files only.
static_assert(std::endian::native == std::endian::little);

using Kind = VersionRecordError::Kind;

// Where the bytes come from: a buffer in memory, or an open file read piece by piece (an
// executable is megabytes; the record needs a few hundred bytes of it).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Copies the bytes at [offset, offset + out.size()), a range within Size(); false when they
  // could not be read.
  virtual bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override {
    if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
    return true;
  }

 private:
  std::span<const std::byte> bytes_;
};

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n =
          ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;  // an error, or the file got shorter since it was measured
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// A value for a message: short, and only text that passed IsRecordText.
std::string Quoted(std::string_view value) {
  constexpr std::size_t kShown = 32;
  if (value.size() <= kShown) return "\"" + std::string(value) + "\"";
  return "\"" + std::string(value.substr(0, kShown)) + "...\"";
}

// Part of the file that holds notes: a PT_NOTE segment or an SHT_NOTE section.
struct NoteArea {
  std::uint64_t offset;
  std::uint64_t size;
  std::uint64_t align;
  std::string what;  // "segment 3", for messages
};

// One pass over one file. Each step returns false after setting error_.
class ElfVersionReader {
 public:
  explicit ElfVersionReader(const ByteSource& source) : source_(source), size_(source.Size()) {}

  std::optional<VersionRecord> Read(VersionRecordError* error) {
    std::optional<VersionRecord> record;
    if (CheckIdentification() && ReadTables() && FindNote()) {
      record = DecodeVersionRecord(desc_, &error_);
    }
    if (!record && error != nullptr) *error = error_;
    return record;
  }

 private:
  bool Fail(Kind kind, std::string message) {
    error_ = {kind, std::move(message)};
    return false;
  }

  std::string PastTheEnd() const {
    return "past the end of the file (" + std::to_string(size_) + " bytes; cut off or damaged?)";
  }

  // The range [offset, offset + length) lies within the file (no overflow on the way).
  bool InFile(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  // `count` entries of `entrySize` bytes at `offset` lie within the file.
  bool TableInFile(std::uint64_t offset, std::uint64_t count, std::uint64_t entrySize) const {
    if (entrySize != 0 && count > size_ / entrySize) return false;
    return InFile(offset, count * entrySize);
  }

  // Copies bytes whose range has been checked.
  bool Copy(std::uint64_t offset, std::span<std::byte> out) {
    if (!InFile(offset, out.size())) {
      return Fail(Kind::kMalformedElf, "a read at " + Hex(offset) + " runs past the end");
    }
    if (!source_.ReadAt(offset, out)) {
      return Fail(Kind::kCannotRead, "cannot read " + std::to_string(out.size()) +
                                         " bytes at offset " + Hex(offset) +
                                         " (did the file change?)");
    }
    return true;
  }

  template <typename T>
  bool CopyStruct(std::uint64_t offset, T& out) {
    std::array<std::byte, sizeof(T)> bytes;
    if (!Copy(offset, bytes)) return false;
    std::memcpy(&out, bytes.data(), sizeof(T));
    return true;
  }

  // e_ident: the magic number, then the class and byte order this reader can follow.
  bool CheckIdentification() {
    if (size_ == 0) return Fail(Kind::kNotElf, "the file is empty");
    std::array<std::byte, EI_NIDENT> ident{};
    const std::uint64_t present = std::min<std::uint64_t>(size_, EI_NIDENT);
    if (!Copy(0, std::span(ident).first(present))) return false;
    if (present < SELFMAG || std::memcmp(ident.data(), ELFMAG, SELFMAG) != 0) {
      return Fail(Kind::kNotElf, "not an ELF file (no ELF magic number at the start)");
    }
    if (present < EI_NIDENT) return Fail(Kind::kMalformedElf, "the ELF header is cut off");
    const auto elfClass = static_cast<unsigned char>(ident[EI_CLASS]);
    const auto byteOrder = static_cast<unsigned char>(ident[EI_DATA]);
    if (elfClass == ELFCLASS32) {
      return Fail(Kind::kUnsupportedElf, "a 32-bit ELF file (only 64-bit files are read)");
    }
    if (elfClass != ELFCLASS64) {
      return Fail(Kind::kMalformedElf, "unknown ELF class " + std::to_string(elfClass));
    }
    if (byteOrder == ELFDATA2MSB) {
      return Fail(Kind::kUnsupportedElf,
                  "a big-endian ELF file (only little-endian files are read)");
    }
    if (byteOrder != ELFDATA2LSB) {
      return Fail(Kind::kMalformedElf, "unknown ELF byte order " + std::to_string(byteOrder));
    }
    if (static_cast<unsigned char>(ident[EI_VERSION]) != EV_CURRENT) {
      return Fail(Kind::kMalformedElf,
                  "unknown ELF version " + std::to_string(static_cast<int>(ident[EI_VERSION])));
    }
    if (size_ < sizeof(Elf64_Ehdr)) return Fail(Kind::kMalformedElf, "the ELF header is cut off");
    return CopyStruct(0, header_);
  }

  // The section table (only checked, and read for the counts that do not fit the header), then
  // every program header: each segment's bytes must lie in the file, or the file has lost some.
  bool ReadTables() {
    if (header_.e_ehsize < sizeof(Elf64_Ehdr)) {
      return Fail(Kind::kMalformedElf, "the ELF header claims to be " +
                                           std::to_string(header_.e_ehsize) + " bytes long");
    }
    sectionCount_ = header_.e_shnum;
    std::uint64_t segmentCount = header_.e_phnum;
    if (header_.e_shoff != 0) {
      if (header_.e_shentsize < sizeof(Elf64_Shdr)) {
        return Fail(
            Kind::kMalformedElf,
            "section headers of " + std::to_string(header_.e_shentsize) + " bytes (too small)");
      }
      if (!InFile(header_.e_shoff, header_.e_shentsize)) {
        return Fail(Kind::kMalformedElf,
                    "the section table at " + Hex(header_.e_shoff) + " starts " + PastTheEnd());
      }
      // Counts too large for the header are kept in section 0.
      if (sectionCount_ == 0 || segmentCount == PN_XNUM) {
        Elf64_Shdr first{};
        if (!CopyStruct(header_.e_shoff, first)) return false;
        if (sectionCount_ == 0) sectionCount_ = first.sh_size;
        if (segmentCount == PN_XNUM) segmentCount = first.sh_info;
      }
      if (!TableInFile(header_.e_shoff, sectionCount_, header_.e_shentsize)) {
        return Fail(Kind::kMalformedElf, "the section table (" + std::to_string(sectionCount_) +
                                             " entries at " + Hex(header_.e_shoff) + ") runs " +
                                             PastTheEnd());
      }
    } else if (segmentCount == PN_XNUM) {
      return Fail(Kind::kMalformedElf, "the segment count is in a section table the file lacks");
    }

    if (segmentCount == 0) return true;
    if (header_.e_phentsize < sizeof(Elf64_Phdr)) {
      return Fail(Kind::kMalformedElf, "program headers of " + std::to_string(header_.e_phentsize) +
                                           " bytes (too small)");
    }
    if (!TableInFile(header_.e_phoff, segmentCount, header_.e_phentsize)) {
      return Fail(Kind::kMalformedElf, "the program header table (" + std::to_string(segmentCount) +
                                           " entries at " + Hex(header_.e_phoff) + ") runs " +
                                           PastTheEnd());
    }
    for (std::uint64_t i = 0; i < segmentCount; ++i) {
      Elf64_Phdr segment{};
      if (!CopyStruct(header_.e_phoff + i * header_.e_phentsize, segment)) return false;
      if (!InFile(segment.p_offset, segment.p_filesz)) {
        return Fail(Kind::kMalformedElf, "segment " + std::to_string(i) + " (" +
                                             std::to_string(segment.p_filesz) + " bytes at " +
                                             Hex(segment.p_offset) + ") runs " + PastTheEnd());
      }
      if (segment.p_type == PT_NOTE) {
        segmentNotes_.push_back(
            {segment.p_offset, segment.p_filesz, segment.p_align, "segment " + std::to_string(i)});
      }
    }
    return true;
  }

  // The note, from the segments the loader sees; from the sections when no segment has it (a
  // file without program headers).
  bool FindNote() {
    for (const NoteArea& area : segmentNotes_) {
      if (!WalkNotes(area)) return false;
    }
    if (found_) return true;
    if (header_.e_shoff != 0) {
      for (std::uint64_t i = 1; i < sectionCount_; ++i) {
        Elf64_Shdr section{};
        if (!CopyStruct(header_.e_shoff + i * header_.e_shentsize, section)) return false;
        if (section.sh_type != SHT_NOTE) continue;
        const NoteArea area{section.sh_offset, section.sh_size, section.sh_addralign,
                            "section " + std::to_string(i)};
        if (!InFile(area.offset, area.size)) {
          return Fail(Kind::kMalformedElf, area.what + " (" + std::to_string(area.size) +
                                               " bytes at " + Hex(area.offset) + ") runs " +
                                               PastTheEnd());
        }
        if (!WalkNotes(area)) return false;
      }
    }
    if (found_) return true;
    return Fail(Kind::kNoRecord, "the file has no " + std::string(kVersionNoteOwner) +
                                     " version note (section " + std::string(kVersionNoteSection) +
                                     ")");
  }

  // Every note of one area, each checked to lie inside it. Notes are padded to the area's
  // alignment: 4 bytes, or 8 for areas aligned to 8 (as the GNU property note is).
  bool WalkNotes(const NoteArea& area) {
    std::uint64_t align = 4;
    if (area.align == 8) {
      align = 8;
    } else if (area.align > 4) {
      return Fail(Kind::kMalformedElf, area.what + " holds notes aligned to " +
                                           std::to_string(area.align) + " (expected 4 or 8)");
    }
    auto alignUp = [align](std::uint64_t n) { return (n + align - 1) / align * align; };
    std::uint64_t at = 0;  // from the start of the area
    while (at < area.size) {
      const std::uint64_t left = area.size - at;
      const std::uint64_t noteOffset = area.offset + at;
      Elf64_Nhdr note{};
      if (left < sizeof note) {
        return Fail(Kind::kMalformedElf, "the note header at " + Hex(noteOffset) +
                                             " is cut off by the end of " + area.what);
      }
      if (!CopyStruct(noteOffset, note)) return false;
      // The 32-bit sizes cannot overflow these 64-bit sums.
      const std::uint64_t descAt = alignUp(sizeof note + note.n_namesz);
      const std::uint64_t next = alignUp(descAt + note.n_descsz);
      if (next > left) {
        return Fail(Kind::kMalformedElf, "the note at " + Hex(noteOffset) + " (name " +
                                             std::to_string(note.n_namesz) + " bytes, data " +
                                             std::to_string(note.n_descsz) +
                                             " bytes) runs past the end of " + area.what);
      }
      if (note.n_type == kVersionNoteType && note.n_namesz == kVersionNoteOwner.size() + 1) {
        std::array<std::byte, kVersionNoteOwner.size() + 1> name{};
        if (!Copy(noteOffset + sizeof note, name)) return false;
        if (std::memcmp(name.data(), kVersionNoteOwner.data(), kVersionNoteOwner.size()) == 0 &&
            name.back() == std::byte{0} && !TakeRecord(noteOffset, noteOffset + descAt, note)) {
          return false;
        }
      }
      at += next;
    }
    return true;
  }

  // Our note: keeps its desc; a second one must say the same.
  bool TakeRecord(std::uint64_t noteOffset, std::uint64_t descOffset, const Elf64_Nhdr& note) {
    if (note.n_descsz > kVersionNoteMaxDesc) {
      return Fail(Kind::kMalformedRecord, "the version note at " + Hex(noteOffset) + " holds " +
                                              std::to_string(note.n_descsz) + " bytes (at most " +
                                              std::to_string(kVersionNoteMaxDesc) + ")");
    }
    std::string desc(note.n_descsz, '\0');
    if (!Copy(descOffset, std::as_writable_bytes(std::span(desc)))) return false;
    if (!found_) {
      found_ = true;
      foundAt_ = noteOffset;
      desc_ = std::move(desc);
    } else if (desc != desc_) {
      return Fail(Kind::kMalformedRecord,
                  "two different version notes, at " + Hex(foundAt_) + " and " + Hex(noteOffset));
    }
    return true;
  }

  const ByteSource& source_;
  const std::uint64_t size_;
  VersionRecordError error_;
  Elf64_Ehdr header_{};
  std::uint64_t sectionCount_ = 0;
  std::vector<NoteArea> segmentNotes_;
  bool found_ = false;
  std::uint64_t foundAt_ = 0;
  std::string desc_;
};

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

std::optional<VersionRecord> ReadVersionRecord(std::span<const std::byte> elfFile,
                                               VersionRecordError* error) {
  const MemorySource source(elfFile);
  return ElfVersionReader(source).Read(error);
}

std::optional<VersionRecord> ReadVersionRecordOfFile(const std::filesystem::path& file,
                                                     VersionRecordError* error) {
  auto fail = [error](std::string message) -> std::optional<VersionRecord> {
    if (error != nullptr) *error = {Kind::kCannotRead, std::move(message)};
    return std::nullopt;
  };
  // O_NONBLOCK: opening a FIFO by mistake must not wait for a writer.
  const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return fail(std::string("cannot open the file: ") + std::strerror(errno));
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    return fail(std::string("cannot examine the file: ") + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) return fail("not a regular file");
  const FileSource source(fd.get(), static_cast<std::uint64_t>(status.st_size));
  return ElfVersionReader(source).Read(error);
}

}  // namespace velmora
