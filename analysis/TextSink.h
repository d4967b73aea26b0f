// Where generated text goes: into a string, or in chunks into a file, so that a large page's
// views are written without holding a second copy of them in memory.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace velmora {

class TextSink {
 public:
  virtual ~TextSink() = default;

  void Append(std::string_view text) {
    if (buffer_.size() + text.size() > flushAt_ && flushAt_ != 0) {
      Flush();
      if (text.size() >= flushAt_) {
        Write(text);  // a large piece goes out as it is
        return;
      }
    }
    buffer_.append(text);
  }
  void Append(char c) {
    buffer_.push_back(c);
    if (flushAt_ != 0 && buffer_.size() >= flushAt_) Flush();
  }

  // Room for this much text before the buffer grows again.
  void Reserve(std::size_t size) { buffer_.reserve(size); }

  // Hands the buffered text to Write.
  void Flush() {
    if (buffer_.empty()) return;
    Write(buffer_);
    buffer_.clear();
  }

 protected:
  // flushAt == 0 keeps everything in the buffer.
  explicit TextSink(std::size_t flushAt) : flushAt_(flushAt) {
    if (flushAt_ != 0) buffer_.reserve(flushAt_);
  }
  virtual void Write(std::string_view text) = 0;
  std::string& Buffer() { return buffer_; }

 private:
  std::size_t flushAt_;
  std::string buffer_;
};

// Collects the text in a string.
class StringSink : public TextSink {
 public:
  StringSink() : TextSink(0) {}
  std::string Take() { return std::move(Buffer()); }

 private:
  void Write(std::string_view) override {}
};

}  // namespace velmora
