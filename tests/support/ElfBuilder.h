// Small 64-bit little-endian ELF files made to order for the version record tests: notes in a
// PT_NOTE segment and/or an SHT_NOTE section, with every header field open to tampering.
#pragma once

#include <elf.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

using Bytes = std::vector<std::byte>;

inline Bytes ToBytes(std::string_view text) {
  Bytes bytes(text.size());
  if (!text.empty()) std::memcpy(bytes.data(), text.data(), text.size());
  return bytes;
}

template <typename T>
void Put(Bytes& bytes, std::size_t offset, const T& value) {
  if (bytes.size() < offset + sizeof value) bytes.resize(offset + sizeof value);
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <typename T>
T Get(const Bytes& bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// One note: header, name with its NUL, desc, each padded to `align`.
inline Bytes Note(std::string_view owner, std::uint32_t type, std::string_view desc,
                  std::size_t align = 4) {
  auto pad = [align](std::size_t n) { return (n + align - 1) / align * align; };
  const std::size_t descAt = pad(sizeof(Elf64_Nhdr) + owner.size() + 1);
  Bytes note(pad(descAt + desc.size()));
  Put(note, 0,
      Elf64_Nhdr{static_cast<Elf64_Word>(owner.size() + 1), static_cast<Elf64_Word>(desc.size()),
                 type});
  std::memcpy(note.data() + sizeof(Elf64_Nhdr), owner.data(), owner.size());
  if (!desc.empty()) std::memcpy(note.data() + descAt, desc.data(), desc.size());
  return note;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The layout: ELF header, one PT_NOTE program header (when wanted), the notes, the section
// names, the section table [null, the notes (SHT_NOTE, when wanted), .shstrtab].
struct ElfLayout {
  Bytes file;
  std::size_t programHeader = 0;  // offset of the PT_NOTE program header (0: none)
  std::size_t notes = 0;          // offset of the notes
  std::size_t noteSection = 0;    // offset of the notes' section header (0: none)
};

inline ElfLayout BuildElf(const Bytes& notes, bool withSegment = true, bool withSection = true,
                          std::uint64_t align = 4) {
  ElfLayout layout;
  Bytes& file = layout.file;
  Elf64_Ehdr header{};
  std::memcpy(header.e_ident, ELFMAG, SELFMAG);
  header.e_ident[EI_CLASS] = ELFCLASS64;
  header.e_ident[EI_DATA] = ELFDATA2LSB;
  header.e_ident[EI_VERSION] = EV_CURRENT;
  header.e_type = ET_EXEC;
  header.e_machine = EM_X86_64;
  header.e_version = EV_CURRENT;
  header.e_ehsize = sizeof(Elf64_Ehdr);
  header.e_phentsize = sizeof(Elf64_Phdr);
  header.e_shentsize = sizeof(Elf64_Shdr);
  std::size_t at = sizeof(Elf64_Ehdr);
  if (withSegment) {
    layout.programHeader = at;
    header.e_phoff = at;
    header.e_phnum = 1;
    at += sizeof(Elf64_Phdr);
  }
  at = (at + 7) / 8 * 8;
  layout.notes = at;
  file.resize(at);
  file.insert(file.end(), notes.begin(), notes.end());
  const std::string names = std::string("\0.note.test\0.shstrtab\0", 22);
  const std::size_t namesAt = file.size();
  const Bytes nameBytes = ToBytes(names);
  file.insert(file.end(), nameBytes.begin(), nameBytes.end());
  file.resize((file.size() + 7) / 8 * 8);

  std::vector<Elf64_Shdr> sections(1);
  if (withSection) {
    Elf64_Shdr note{};
    note.sh_name = 1;
    note.sh_type = SHT_NOTE;
    note.sh_flags = SHF_ALLOC;
    note.sh_offset = layout.notes;
    note.sh_size = notes.size();
    note.sh_addralign = align;
    sections.push_back(note);
  }
  Elf64_Shdr strings{};
  strings.sh_name = 12;
  strings.sh_type = SHT_STRTAB;
  strings.sh_offset = namesAt;
  strings.sh_size = names.size();
  strings.sh_addralign = 1;
  sections.push_back(strings);
  header.e_shoff = file.size();
  header.e_shnum = static_cast<Elf64_Half>(sections.size());
  header.e_shstrndx = static_cast<Elf64_Half>(sections.size() - 1);
  if (withSection) layout.noteSection = file.size() + sizeof(Elf64_Shdr);
  for (const Elf64_Shdr& section : sections) Put(file, file.size(), section);

  Put(file, 0, header);
  if (withSegment) {
    Elf64_Phdr segment{};
    segment.p_type = PT_NOTE;
    segment.p_flags = PF_R;
    segment.p_offset = layout.notes;
    segment.p_filesz = notes.size();
    segment.p_memsz = notes.size();
    segment.p_align = align;
    Put(file, layout.programHeader, segment);
  }
  return layout;
}

}  // namespace velmora::testing
