// Outputs written as they are produced: an exporter hands its bytes to a
// sink, which passes them through the output file's bounded writer to a file
// that appears whole or not at all.
#ifndef KMBREP_STREAMED_OUTPUT_H
#define KMBREP_STREAMED_OUTPUT_H

#include <cstddef>
#include <functional>
#include <string>

namespace kmbrep {

class Sink {
 public:
  virtual ~Sink() = default;
  // Takes n bytes; throws ToolError when they cannot be written.
  virtual void write(const char* data, size_t n) = 0;
  void write(const std::string& text) { write(text.data(), text.size()); }
};

// Base64 of the bytes it takes, passed on to another sink; finish() writes
// the last group with its padding.
class Base64Sink : public Sink {
 public:
  explicit Base64Sink(Sink& out) : _out(out) {}
  void write(const char* data, size_t n) override;
  using Sink::write;
  void finish();

 private:
  void flushText();
  Sink& _out;
  unsigned char _held[3] = {0, 0, 0};
  int _heldCount = 0;
  std::string _text;
};

// Runs produce with a sink into path; the file is renamed into place only
// when produce returns and every byte was written. Throws ToolError.
void writeStreamed(const std::string& path, const std::function<void(Sink&)>& produce);

}  // namespace kmbrep

#endif
