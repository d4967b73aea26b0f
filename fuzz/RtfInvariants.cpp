// The rich-text reader's invariant checker, shared by the fuzz target and the tests.
#include "fuzz/RtfInvariants.h"

#include <glib.h>

#include <algorithm>
#include <cstddef>

#include "windows/RtfReader.h"

namespace velmora {

namespace {

// Valid UTF-8, and no NUL or control character but tab and line end.
bool IsCleanText(std::string_view text) {
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return false;
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7F;
  });
}

std::string Quoted(std::string_view text) {
  std::string shown;
  for (const char c : text.substr(0, 80)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      g_snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    } else {
      shown += c;
    }
  }
  return "\"" + shown + (text.size() > 80 ? "...\"" : "\"");
}

}  // namespace

bool CanEscapeBackslash(std::string_view rtf) {
  for (std::size_t i = 0; i + 1 < rtf.size(); ++i) {
    if (rtf[i] != '\\') continue;
    const char next = rtf[i + 1];
    if (next == '\\') return true;
    if (next == '\'' && i + 3 < rtf.size() && rtf[i + 2] == '5' &&
        (rtf[i + 3] == 'c' || rtf[i + 3] == 'C')) {
      return true;
    }
    if (next == 'u') {
      std::size_t j = i + 2;
      const bool negative = j < rtf.size() && rtf[j] == '-';
      if (negative) ++j;
      long value = 0;
      bool digits = false;
      for (; j < rtf.size() && rtf[j] >= '0' && rtf[j] <= '9'; ++j) {
        value = std::min(1'000'000'000L, value * 10 + (rtf[j] - '0'));
        digits = true;
      }
      if (digits && (negative ? 65536 - value : value) == 0x5C) return true;
    }
  }
  return false;
}

std::string CheckRtfInvariants(std::string_view rtf) {
  const RtfDocument first = ReadRtf(rtf);
  const RtfDocument second = ReadRtf(rtf);
  if (first.runs != second.runs) return "two reads of the same input differ";

  std::size_t textBytes = 0;
  for (std::size_t i = 0; i < first.runs.size(); ++i) {
    const RtfRun& run = first.runs[i];
    const std::string where = "run " + std::to_string(i) + " " + Quoted(run.text);
    if (run.text.empty()) return where + ": empty run";
    if (!IsCleanText(run.text)) return where + ": text is not clean UTF-8";
    if (i > 0 && first.runs[i - 1].style == run.style) {
      return where + ": same style as the run before it";
    }
    const RtfStyle& style = run.style;
    if (style.fontSizeHalfPoints < kRtfMinFontSizeHalfPoints ||
        style.fontSizeHalfPoints > kRtfMaxFontSizeHalfPoints) {
      return where + ": font size " + std::to_string(style.fontSizeHalfPoints) + " out of bounds";
    }
    if (style.color && *style.color > 0xFFFFFF) return where + ": colour beyond 0xFFFFFF";
    if (!IsCleanText(style.fontName) || style.fontName.find('\n') != std::string::npos ||
        style.fontName.find('\t') != std::string::npos) {
      return where + ": font name " + Quoted(style.fontName) + " is not clean";
    }
    textBytes += run.text.size();
  }
  if (textBytes > 3 * rtf.size()) {
    return "text of " + std::to_string(textBytes) + " bytes from " + std::to_string(rtf.size()) +
           " input bytes";
  }
  if (!CanEscapeBackslash(rtf)) {
    const std::string text = first.Text();
    const std::size_t backslash = text.find('\\');
    if (backslash != std::string::npos) {
      return "control word text in the output: " +
             Quoted(std::string_view(text).substr(backslash > 20 ? backslash - 20 : 0));
    }
  }
  return {};
}

}  // namespace velmora
