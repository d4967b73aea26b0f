// Scanning text eight bytes at a time for the few bytes that need work: most of a page is copied
// as it is, and a word with none of them is passed over in one step.
#pragma once

#include <cstdint>
#include <cstring>

namespace velmora {

// True when one of the eight bytes of `word` is `byte`.
constexpr bool HasByte(std::uint64_t word, unsigned char byte) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  const std::uint64_t v = word ^ (kOnes * byte);
  return ((v - kOnes) & ~v & (kOnes << 7)) != 0;
}

// The eight bytes at `p`, in memory order.
inline std::uint64_t LoadWord(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

}  // namespace velmora
