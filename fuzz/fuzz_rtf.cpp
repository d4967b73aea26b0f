// libFuzzer target: the help window's rich-text reader on arbitrary bytes, with every invariant
// of RtfInvariants.h checked after each input; a broken invariant aborts, so the fuzzer keeps the
// input as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/RtfInvariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string failure = velmora::CheckRtfInvariants(input);
  if (!failure.empty()) {
    std::fprintf(stderr, "\n*** invariant broken: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
