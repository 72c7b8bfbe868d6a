#include "kmbrep/streamed_output.h"

#include "kmbrep/output_file.h"
#include "kmbrep/progress.h"

#include <cstdio>
#include <memory>

namespace kmbrep {

namespace {

const char* const kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kTextChunk = 64 * 1024;
constexpr size_t kFileBuffer = 1 << 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

class FileSink : public Sink {
 public:
  FileSink(std::FILE* file, const std::string& path) : _file(file), _path(path), _meter("writing", "bytes", true) {}
  void write(const char* data, size_t n) override {
    if (n && std::fwrite(data, 1, n, _file) != n) throw ToolError{"cannot write " + _path};
    _meter.add(static_cast<long long>(n));
  }
  using Sink::write;

 private:
  std::FILE* _file;
  const std::string& _path;
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
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(out.tempPath().c_str(), "wb"));
  if (!file) throw ToolError{"cannot create " + path};
  std::setvbuf(file.get(), nullptr, _IOFBF, kFileBuffer);
  {
    FileSink sink(file.get(), path);
    produce(sink);
  }
  if (std::fclose(file.release()) != 0) throw ToolError{"cannot write " + path};
  out.commit();
}

}  // namespace kmbrep
