// The version record: the note the build writes into the real executables, read back from them,
// and the reader on files without a record, broken ELF files, cut-off files and bad records.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/VersionRecord.h"
#include "support/ElfBuilder.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::BuildElf;
using testing::Bytes;
using testing::ElfLayout;
using testing::Get;
using testing::Join;
using testing::Note;
using testing::Put;
using testing::TempFolder;
using testing::ToBytes;
using Kind = VersionRecordError::Kind;
namespace keys = version_keys;

// The project's fields, as CMake passes them (tests/CMakeLists.txt).
const VersionRecord kExpected{VELMORA_EXPECT_PRODUCT_NAME,
                              VELMORA_EXPECT_COMPANY_NAME,
                              VELMORA_EXPECT_WEBSITE,
                              {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR},
                              {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR}};

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kCannotRead:
      return "cannot read";
    case Kind::kNotElf:
      return "not ELF";
    case Kind::kUnsupportedElf:
      return "unsupported ELF";
    case Kind::kMalformedElf:
      return "malformed ELF";
    case Kind::kNoRecord:
      return "no record";
    case Kind::kMalformedRecord:
      return "malformed record";
  }
  return "?";
}

Bytes ReadBytes(const std::filesystem::path& path) {
  return ToBytes(testing::ReadFile(path));
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  testing::WriteFile(path, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

struct Outcome {
  std::optional<VersionRecord> record;
  VersionRecordError error;
};

Outcome Read(const Bytes& bytes) {
  Outcome outcome;
  outcome.record = ReadVersionRecord(bytes, &outcome.error);
  return outcome;
}

Outcome ReadFile(const std::filesystem::path& path) {
  Outcome outcome;
  outcome.record = ReadVersionRecordOfFile(path, &outcome.error);
  return outcome;
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

// The file range of a section, found by name with a walk of our own over the section table.
struct SectionRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  Elf64_Shdr header{};
};

std::optional<SectionRange> FindSection(const Bytes& file, std::string_view wanted) {
  if (file.size() < sizeof(Elf64_Ehdr)) return std::nullopt;
  const auto header = Get<Elf64_Ehdr>(file, 0);
  if (header.e_shoff == 0 || header.e_shoff + header.e_shnum * sizeof(Elf64_Shdr) > file.size()) {
    return std::nullopt;
  }
  const auto names = Get<Elf64_Shdr>(file, header.e_shoff + header.e_shstrndx * sizeof(Elf64_Shdr));
  for (std::size_t i = 0; i < header.e_shnum; ++i) {
    const auto section = Get<Elf64_Shdr>(file, header.e_shoff + i * sizeof(Elf64_Shdr));
    const std::size_t nameAt = names.sh_offset + section.sh_name;
    if (nameAt + wanted.size() + 1 > file.size()) continue;
    const std::string_view name(reinterpret_cast<const char*>(file.data() + nameAt),
                                wanted.size() + 1);
    if (name.substr(0, wanted.size()) == wanted && name.back() == '\0') {
      return SectionRange{section.sh_offset, section.sh_size, section};
    }
  }
  return std::nullopt;
}

const Bytes& VelmoraBytes() {
  static const Bytes bytes = ReadBytes(VELMORA_EXE);
  return bytes;
}

// ---- The real executables ----------------------------------------------------------------------

TEST(VersionRecordTest, EveryProgramCarriesTheProjectsRecord) {
  for (const char* program : {VELMORA_EXE, VELMORA_ANALYZE, "/proc/self/exe"}) {
    SCOPED_TRACE(program);
    const Outcome outcome = ReadFile(program);
    ASSERT_TRUE(outcome.record) << outcome.error.message;
    EXPECT_EQ(*outcome.record, kExpected);
    // The bytes-only reader agrees with the file reader.
    EXPECT_EQ(Read(ReadBytes(program)).record, outcome.record);
  }
}

TEST(VersionRecordTest, TheSectionHoldsOneNoteInTheDocumentedLayout) {
  const Bytes& file = VelmoraBytes();
  const std::optional<SectionRange> section = FindSection(file, kVersionNoteSection);
  ASSERT_TRUE(section) << "no section " << kVersionNoteSection;
  EXPECT_EQ(section->header.sh_type, static_cast<Elf64_Word>(SHT_NOTE));
  EXPECT_NE(section->header.sh_flags & SHF_ALLOC, 0u) << "the note must be loaded with the program";
  EXPECT_EQ(section->header.sh_addralign, 4u);

  const std::string desc = ExpectedDesc(kExpected);
  const std::size_t padded = (desc.size() + 3) / 4 * 4;
  ASSERT_EQ(section->size, sizeof(Elf64_Nhdr) + 8 + padded);
  const auto note = Get<Elf64_Nhdr>(file, section->offset);
  EXPECT_EQ(note.n_namesz, 8u);
  EXPECT_EQ(note.n_descsz, desc.size());
  EXPECT_EQ(note.n_type, kVersionNoteType);
  const char* bytes = reinterpret_cast<const char*>(file.data() + section->offset);
  EXPECT_EQ(std::string(bytes + 12, 8), std::string("Velmora\0", 8));
  EXPECT_EQ(std::string(bytes + 20, desc.size()), desc);
  EXPECT_EQ(std::string(bytes + 20 + desc.size(), padded - desc.size()),
            std::string(padded - desc.size(), '\0'));

  // The loader sees it too: a PT_NOTE segment covers the section.
  const auto header = Get<Elf64_Ehdr>(file, 0);
  bool covered = false;
  for (std::size_t i = 0; i < header.e_phnum; ++i) {
    const auto segment = Get<Elf64_Phdr>(file, header.e_phoff + i * header.e_phentsize);
    covered = covered || (segment.p_type == PT_NOTE && segment.p_offset <= section->offset &&
                          section->offset + section->size <= segment.p_offset + segment.p_filesz);
  }
  EXPECT_TRUE(covered);
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
  const std::string notes = run({"-n", VELMORA_EXE});
  const std::string strings = run({"-p", std::string(kVersionNoteSection), VELMORA_EXE});
  g_free(readelf);

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

// ---- Files that are not what they should be --------------------------------------------------

TEST(VersionRecordTest, FilesThatCannotBeRead) {
  TempFolder folder;
  const std::filesystem::path fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  testing::WriteFile(folder / "empty", "");
  struct Case {
    std::filesystem::path path;
    Kind kind;
  };
  const Case cases[] = {
      {folder / "missing", Kind::kCannotRead},
      {folder.path(), Kind::kCannotRead},
      {fifo, Kind::kCannotRead},  // refused without waiting for a writer
      {folder / "empty", Kind::kNotElf},
      {"/bin/true", Kind::kNoRecord},  // a sound executable of someone else's
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    const Outcome outcome = ReadFile(c.path);
    EXPECT_FALSE(outcome.record);
    EXPECT_EQ(KindName(outcome.error.kind), KindName(c.kind)) << outcome.error.message;
    EXPECT_FALSE(outcome.error.message.empty());
  }
}

// A copy of the real executable with some bytes changed.
Bytes Patched(const std::function<void(Bytes&, std::size_t note)>& patch) {
  Bytes copy = VelmoraBytes();
  const std::optional<SectionRange> section = FindSection(copy, kVersionNoteSection);
  if (section) patch(copy, section->offset);
  return copy;
}

// The offset of a key's value in the note at `note`.
std::size_t ValueOf(const Bytes& file, std::size_t note, std::string_view key) {
  const std::string_view text(reinterpret_cast<const char*>(file.data() + note), 256);
  return note + text.find(std::string(key) + "=") + key.size() + 1;
}

TEST(VersionRecordTest, BrokenHeadersAndTables) {
  const Bytes& real = VelmoraBytes();
  auto withByte = [&real](std::size_t at, unsigned char value) {
    Bytes copy(real.begin(), real.begin() + 4096);
    copy[at] = std::byte{value};
    copy.insert(copy.end(), real.begin() + 4096, real.end());
    return copy;
  };
  auto withHeader = [](Bytes copy, const std::function<void(Elf64_Ehdr&)>& change) {
    auto header = Get<Elf64_Ehdr>(copy, 0);
    change(header);
    Put(copy, 0, header);
    return copy;
  };
  // Counts that fit a file of megabytes are tried on a small one.
  const Bytes ours = Note(kVersionNoteOwner, kVersionNoteType,
                          EncodeVersionDesc({"Velmora", "Tarnwick", "w.example", {2, 0}, {2, 0}}));
  const Bytes small = BuildElf(ours).file;
  auto noteSize = [&ours](Bytes file, std::size_t field, std::uint32_t value) {
    Put(file, BuildElf(ours).notes + field, value);
    return file;
  };
  struct Case {
    const char* name;
    Bytes bytes;
    Kind kind;
  };
  const std::vector<Case> cases = {
      {"empty", {}, Kind::kNotElf},
      {"text", ToBytes("#!/bin/sh\necho not an executable\n"), Kind::kNotElf},
      {"magic only",
       ToBytes("\x7f"
               "ELF"),
       Kind::kMalformedElf},
      {"32-bit", withByte(EI_CLASS, ELFCLASS32), Kind::kUnsupportedElf},
      {"big-endian", withByte(EI_DATA, ELFDATA2MSB), Kind::kUnsupportedElf},
      {"class 0", withByte(EI_CLASS, ELFCLASSNONE), Kind::kMalformedElf},
      {"byte order 7", withByte(EI_DATA, 7), Kind::kMalformedElf},
      {"ELF version 0", withByte(EI_VERSION, EV_NONE), Kind::kMalformedElf},
      {"header size 0", withHeader(real, [](Elf64_Ehdr& h) { h.e_ehsize = 0; }),
       Kind::kMalformedElf},
      {"program headers past the end",
       withHeader(real, [&real](Elf64_Ehdr& h) { h.e_phoff = real.size() - 8; }),
       Kind::kMalformedElf},
      {"program header offset near 2^64",
       withHeader(real, [](Elf64_Ehdr& h) { h.e_phoff = ~std::uint64_t{0} - 16; }),
       Kind::kMalformedElf},
      {"program headers too small", withHeader(real, [](Elf64_Ehdr& h) { h.e_phentsize = 8; }),
       Kind::kMalformedElf},
      {"65534 program headers", withHeader(small, [](Elf64_Ehdr& h) { h.e_phnum = 0xfffe; }),
       Kind::kMalformedElf},
      {"section table past the end",
       withHeader(real, [&real](Elf64_Ehdr& h) { h.e_shoff = real.size(); }), Kind::kMalformedElf},
      {"section table offset near 2^64",
       withHeader(real, [](Elf64_Ehdr& h) { h.e_shoff = ~std::uint64_t{0} - 16; }),
       Kind::kMalformedElf},
      {"section headers too small", withHeader(real, [](Elf64_Ehdr& h) { h.e_shentsize = 16; }),
       Kind::kMalformedElf},
      {"65535 sections", withHeader(small, [](Elf64_Ehdr& h) { h.e_shnum = 0xffff; }),
       Kind::kMalformedElf},
      {"descsz 0xffffffff",
       Patched([](Bytes& f, std::size_t note) { Put<std::uint32_t>(f, note + 4, 0xffffffff); }),
       Kind::kMalformedElf},
      {"namesz 0xfffffff0",
       Patched([](Bytes& f, std::size_t note) { Put<std::uint32_t>(f, note, 0xfffffff0); }),
       Kind::kMalformedElf},
      {"descsz 4 past the note", noteSize(small, 4, ours.size() - 20 + 4), Kind::kMalformedElf},
      {"namesz 4 past the note", noteSize(small, 0, ours.size() - 12 + 4), Kind::kMalformedElf},
      {"another note type",
       Patched([](Bytes& f, std::size_t note) { Put<std::uint32_t>(f, note + 8, 2); }),
       Kind::kNoRecord},
      {"another owner", Patched([](Bytes& f, std::size_t note) { f[note + 18] = std::byte{'b'}; }),
       Kind::kNoRecord},
      {"a key misspelt", Patched([](Bytes& f, std::size_t note) {
         f[ValueOf(f, note, keys::kProductName) - 2] = std::byte{'f'};
       }),
       Kind::kMalformedRecord},
      {"a bad version", Patched([](Bytes& f, std::size_t note) {
         f[ValueOf(f, note, keys::kFileVersion)] = std::byte{'x'};
       }),
       Kind::kMalformedRecord},
      {"a control character", Patched([](Bytes& f, std::size_t note) {
         f[ValueOf(f, note, keys::kCompanyName)] = std::byte{'\n'};
       }),
       Kind::kMalformedRecord},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Read(c.bytes);
    EXPECT_FALSE(outcome.record);
    EXPECT_EQ(KindName(outcome.error.kind), KindName(c.kind)) << outcome.error.message;
    EXPECT_FALSE(outcome.error.message.empty());
  }
}

// Every prefix of the file's start and of the region around the note: nothing is read past the
// end, and a cut-off file is never taken for a whole one.
TEST(VersionRecordTest, CutOffFilesAreRefused) {
  const Bytes& real = VelmoraBytes();
  const std::optional<SectionRange> section = FindSection(real, kVersionNoteSection);
  ASSERT_TRUE(section);
  ASSERT_TRUE(Read(real).record) << "the whole file must be read";
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= std::min<std::size_t>(8192, real.size() - 1); ++n) {
    lengths.push_back(n);
  }
  const std::size_t from = section->offset > 256 ? section->offset - 256 : 0;
  for (std::size_t n = from; n <= section->offset + section->size + 256; ++n) lengths.push_back(n);
  for (std::size_t back = 1; back <= 32; ++back) lengths.push_back(real.size() - back);

  for (const std::size_t n : lengths) {
    // A copy of exactly n bytes, so that the sanitizers see a read past its end.
    const Bytes prefix(real.begin(), real.begin() + static_cast<std::ptrdiff_t>(n));
    const Outcome outcome = Read(prefix);
    ASSERT_FALSE(outcome.record) << "a prefix of " << n << " bytes was read as whole";
    const Kind expected = n < SELFMAG ? Kind::kNotElf : Kind::kMalformedElf;
    ASSERT_EQ(KindName(outcome.error.kind), KindName(expected))
        << n << " bytes: " << outcome.error.message;
  }
}

// The file reader says the same about a cut-off file as the bytes reader.
TEST(VersionRecordTest, CutOffFilesOnDisk) {
  const Bytes& real = VelmoraBytes();
  const std::optional<SectionRange> section = FindSection(real, kVersionNoteSection);
  ASSERT_TRUE(section);
  TempFolder folder;
  for (const std::size_t n : {std::size_t{3}, sizeof(Elf64_Ehdr), std::size_t{section->offset + 20},
                              std::size_t{section->offset + section->size}, real.size() - 1}) {
    SCOPED_TRACE(n);
    const Bytes prefix(real.begin(), real.begin() + static_cast<std::ptrdiff_t>(n));
    WriteBytes(folder / "cut", prefix);
    const Outcome fromFile = ReadFile(folder / "cut");
    const Outcome fromBytes = Read(prefix);
    EXPECT_FALSE(fromFile.record);
    EXPECT_EQ(KindName(fromFile.error.kind), KindName(fromBytes.error.kind));
    EXPECT_EQ(fromFile.error.message, fromBytes.error.message);
  }
}

// ---- Made-up files: where the note is, and notes that lie ------------------------------------

TEST(VersionRecordTest, WhereTheReaderLooks) {
  const VersionFields fields{"Velmora", "Tarnwick", "www.tarnwick.example", {3, 7}, {4, 12}};
  const VersionRecord record{"Velmora", "Tarnwick", "www.tarnwick.example", {3, 7}, {4, 12}};
  const std::string desc = EncodeVersionDesc(fields);
  const Bytes ours = Note(kVersionNoteOwner, kVersionNoteType, desc);
  const Bytes gnu = Note("GNU", 3, std::string(20, 'x'));
  auto extended = [](ElfLayout layout) {
    // More sections than the header can count: e_shnum 0, the count in section 0.
    auto header = Get<Elf64_Ehdr>(layout.file, 0);
    Put<std::uint64_t>(layout.file, header.e_shoff + offsetof(Elf64_Shdr, sh_size), header.e_shnum);
    header.e_shnum = 0;
    Put(layout.file, 0, header);
    return layout.file;
  };
  auto manySegments = [](ElfLayout layout) {
    // PN_XNUM: the program header count is in section 0.
    auto header = Get<Elf64_Ehdr>(layout.file, 0);
    Put<std::uint32_t>(layout.file, header.e_shoff + offsetof(Elf64_Shdr, sh_info), 1);
    header.e_phnum = PN_XNUM;
    Put(layout.file, 0, header);
    return layout.file;
  };
  struct Case {
    const char* name;
    Bytes file;
    std::optional<VersionRecord> expected;
    Kind kind;
  };
  const std::vector<Case> cases = {
      {"segment and section", BuildElf(ours).file, record, {}},
      {"segment only", BuildElf(ours, true, false).file, record, {}},
      {"section only", BuildElf(ours, false, true).file, record, {}},
      {"after another note", BuildElf(Join({gnu, ours})).file, record, {}},
      {"8-byte aligned notes",
       BuildElf(Join({Note("GNU", 5, "12345678", 8),
                      Note(kVersionNoteOwner, kVersionNoteType, desc, 8)}),
                true, true, 8)
           .file,
       record,
       {}},
      {"the same note twice", BuildElf(Join({ours, ours})).file, record, {}},
      {"section count in section 0", extended(BuildElf(ours, false, true)), record, {}},
      {"segment count in section 0", manySegments(BuildElf(ours)), record, {}},
      {"no notes", BuildElf({}).file, std::nullopt, Kind::kNoRecord},
      {"no notes of ours",
       BuildElf(
           Join({gnu, Note(kVersionNoteOwner, kVersionNoteType + 1, desc),
                 Note("Velmorax", kVersionNoteType, desc), Note("Velmor", kVersionNoteType, desc)}))
           .file,
       std::nullopt, Kind::kNoRecord},
      {"neither segment nor section", BuildElf(ours, false, false).file, std::nullopt,
       Kind::kNoRecord},
      {"two different notes",
       BuildElf(Join({ours,
                      Note(kVersionNoteOwner, kVersionNoteType,
                           EncodeVersionDesc({"Other", "Tarnwick", "a.example", {1, 0}, {1, 0}}))}))
           .file,
       std::nullopt, Kind::kMalformedRecord},
      {"a record too long",
       BuildElf(Note(kVersionNoteOwner, kVersionNoteType,
                     desc + "Padding=" + std::string(5000, 'p') + '\0'))
           .file,
       std::nullopt, Kind::kMalformedRecord},
      {"notes aligned to 16", BuildElf(ours, true, true, 16).file, std::nullopt,
       Kind::kMalformedElf},
      {"a note header cut off by its segment", BuildElf(Join({ours, Bytes(8)})).file, std::nullopt,
       Kind::kMalformedElf},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Read(c.file);
    EXPECT_EQ(outcome.record, c.expected) << outcome.error.message;
    if (!c.expected) {
      EXPECT_EQ(KindName(outcome.error.kind), KindName(c.kind));
    }
  }
}

// Segments and sections that claim more than the file holds.
TEST(VersionRecordTest, AreasPastTheEnd) {
  const Bytes ours = Note(kVersionNoteOwner, kVersionNoteType,
                          EncodeVersionDesc({"Velmora", "Tarnwick", "w.example", {2, 0}, {2, 0}}));
  struct Case {
    const char* name;
    bool segment;
    std::size_t field;  // in the program header or the section header
    std::uint64_t value;
  };
  const Case cases[] = {
      {"segment size", true, offsetof(Elf64_Phdr, p_filesz), 1u << 20},
      {"segment size near 2^64", true, offsetof(Elf64_Phdr, p_filesz), ~std::uint64_t{0}},
      {"segment offset", true, offsetof(Elf64_Phdr, p_offset), 1u << 20},
      {"segment offset near 2^64", true, offsetof(Elf64_Phdr, p_offset), ~std::uint64_t{0} - 3},
      {"section size", false, offsetof(Elf64_Shdr, sh_size), 1u << 20},
      {"section offset", false, offsetof(Elf64_Shdr, sh_offset), ~std::uint64_t{0} - 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ElfLayout layout = BuildElf(ours, c.segment, !c.segment);
    const std::size_t at = (c.segment ? layout.programHeader : layout.noteSection) + c.field;
    Put<std::uint64_t>(layout.file, at, c.value);
    const Outcome outcome = Read(layout.file);
    EXPECT_FALSE(outcome.record);
    EXPECT_EQ(KindName(outcome.error.kind), KindName(Kind::kMalformedElf)) << outcome.error.message;
  }

  // A segment other than the notes' that the file lacks: the file is cut off or damaged, even
  // though the note itself (here in its section) is whole.
  ElfLayout layout = BuildElf(ours);
  ASSERT_TRUE(Read(layout.file).record);
  Put<Elf64_Word>(layout.file, layout.programHeader + offsetof(Elf64_Phdr, p_type), PT_LOAD);
  ASSERT_TRUE(Read(layout.file).record) << "the note is still in its section";
  Put<std::uint64_t>(layout.file, layout.programHeader + offsetof(Elf64_Phdr, p_filesz), 1u << 20);
  const Outcome outcome = Read(layout.file);
  EXPECT_FALSE(outcome.record);
  EXPECT_EQ(KindName(outcome.error.kind), KindName(Kind::kMalformedElf)) << outcome.error.message;
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
    // The same record inside a file.
    const Bytes file = BuildElf(Note(kVersionNoteOwner, kVersionNoteType, c.desc)).file;
    EXPECT_EQ(Read(file).record, c.expected);
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
    EXPECT_EQ(KindName(error.kind), KindName(Kind::kMalformedRecord));
    EXPECT_FALSE(error.message.empty());
    // The same record inside a file: read, and refused for the same reason.
    const Outcome outcome = Read(BuildElf(Note(kVersionNoteOwner, kVersionNoteType, desc)).file);
    EXPECT_FALSE(outcome.record);
    EXPECT_EQ(outcome.error.message, error.message);
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

// Random damage to a small file with a record: never a crash or a read outside the file, the
// same answer twice, and whatever is accepted is a valid record.
TEST(VersionRecordTest, RandomDamage) {
  const Bytes good =
      BuildElf(Join({Note("GNU", 3, "0123456789abcdef"),
                     Note(kVersionNoteOwner, kVersionNoteType,
                          EncodeVersionDesc(
                              {"Velmora", "Tarnwick", "www.tarnwick.example", {2, 0}, {2, 0}}))}))
          .file;
  std::mt19937 random(20240607);
  std::uniform_int_distribution<std::size_t> position(0, good.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> count(1, 4);
  int accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    Bytes damaged = good;
    for (int k = count(random); k > 0; --k) damaged[position(random)] = std::byte(byte(random));
    if (round % 7 == 0) damaged.resize(position(random));
    const Outcome first = Read(damaged);
    const Outcome second = Read(damaged);
    ASSERT_EQ(first.record, second.record) << "round " << round;
    ASSERT_EQ(first.error.message, second.error.message) << "round " << round;
    if (first.record) {
      ++accepted;
      ASSERT_TRUE(IsRecordText(first.record->productName)) << "round " << round;
      ASSERT_TRUE(IsRecordText(first.record->companyName)) << "round " << round;
      ASSERT_TRUE(IsBareHostName(first.record->comments)) << "round " << round;
      ASSERT_TRUE(IsVersionInRange(first.record->fileVersion)) << "round " << round;
      ASSERT_TRUE(IsVersionInRange(first.record->productVersion)) << "round " << round;
    } else {
      ASSERT_FALSE(first.error.message.empty()) << "round " << round;
    }
  }
  // Damage that misses the headers and the record (the foreign note, padding) leaves it readable.
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace velmora
