#include "kmbrep/streamed_output.h"

#include "kmbrep/output_file.h"
#include "kmbrep/progress.h"

namespace kmbrep {

namespace {

const char* const kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kTextChunk = 64 * 1024;

// Passes bytes to the output's bounded writer and counts them for the
// progress line.
class FileSink : public Sink {
 public:
  explicit FileSink(BufferedWriter& writer) : _writer(writer), _meter("writing", "bytes", true) {}
  void write(const char* data, size_t n) override {
    _writer.write(data, n);
    _meter.add(static_cast<long long>(n));
  }
  using Sink::write;

 private:
  BufferedWriter& _writer;
  ProgressMeter _meter;
};

}  // namespace

void Base64Sink::write(const char* data, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    _held[_heldCount++] = static_cast<unsigned char>(data[i]);
    if (_heldCount < 3) continue;
    const unsigned v = unsigned{_held[0]} << 16 | unsigned{_held[1]} << 8 | _held[2];
    _text += kBase64[v >> 18 & 63];
    _text += kBase64[v >> 12 & 63];
    _text += kBase64[v >> 6 & 63];
    _text += kBase64[v & 63];
    _heldCount = 0;
    if (_text.size() >= kTextChunk) flushText();
  }
}

void Base64Sink::finish() {
  if (_heldCount > 0) {
    const unsigned v = unsigned{_held[0]} << 16 | (_heldCount > 1 ? unsigned{_held[1]} << 8 : 0u);
    _text += kBase64[v >> 18 & 63];
    _text += kBase64[v >> 12 & 63];
    _text += _heldCount > 1 ? kBase64[v >> 6 & 63] : '=';
    _text += '=';
    _heldCount = 0;
  }
  flushText();
}

void Base64Sink::flushText() {
  _out.write(_text);
  _text.clear();
}

void writeStreamed(const std::string& path, const std::function<void(Sink&)>& produce) {
  OutputFile out(path);
  BufferedWriter writer(out);
  {
    FileSink sink(writer);
    produce(sink);
  }
  writer.finish();
  out.commit();
}

}  // namespace kmbrep
