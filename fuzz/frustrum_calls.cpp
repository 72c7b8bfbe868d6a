// Random sequences of frustrum calls and moves of the current host stream, with random arguments, checked call by
// call against a model of the stream table (ids taken, streams open with their guise and direction) and of the
// current host stream (its bytes, position and segment end).
#include "base/current_host_stream.h"
#include "frustrum/MvFrustrum.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kMaxStreams = 32;
const int kGuises[] = {1, 2, 3, 4, 5, 6, 8, 9, 10};

struct Stream {
  int guise;
  bool writing;
  bool file;
};

struct Model {
  std::array<bool, kMaxStreams> idTaken{};
  std::map<int, Stream> open;
  bool hostStream = false;  // the current host stream, when there is one
  std::string bytes;
  int position = 0;
  int segmentEnd = 0;
};

class Run {
 public:
  explicit Run(FuzzedDataProvider& in) : in(in) {}

  void open(bool writing) {
    // Keys: none, NUL-led (none), too long, or files in the scratch directory.
    const int kind = in.ConsumeIntegralInRange(0, 5);
    const bool hasKey = kind >= 2;
    const std::string key = kind == 0   ? ""
                            : kind == 1 ? std::string(1, '\0') + "ignored"
                            : kind == 2 ? std::string(300, 'k')
                                        : fuzzing::scratchDir() + "/k" + std::to_string(in.ConsumeIntegralInRange(0, 3));
    // Files are only named for the known guises.
    const int guise = hasKey && key.size() < 256 ? in.PickValueInArray(kGuises) : anyGuise();
    const int format = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 2) : in.ConsumeIntegral<int>();
    const int keyLength = kind != 0 ? static_cast<int>(key.size()) : in.ConsumeIntegralInRange(-3, 0);
    const std::string header = in.ConsumeRandomLengthString(64);
    const int headerLength = static_cast<int>(header.size());
    const int skip = in.ConsumeIntegralInRange(0, 2);
    int id = 12345;
    int ifail = -1;
    if (writing)
      openWriteFrustrumFile(&guise, &format, key.c_str(), &keyLength, header.c_str(), &headerLength, &id, &ifail);
    else
      openReadFrustrumFile(&guise, &format, key.c_str(), &keyLength, &skip, &id, &ifail);
    int free = 0;
    while (free < kMaxStreams && m.idTaken[free]) ++free;
    if (static_cast<int>(m.open.size()) >= kMaxStreams) {
      FUZZ_CHECK(ifail == MV_FR_OPEN_FAILED);
    } else if (hasKey && key.size() > 255) {
      FUZZ_CHECK(ifail == MV_FR_NAME_TOO_LONG);
    } else if (free == kMaxStreams) {
      FUZZ_CHECK(ifail == MV_FR_OPEN_FAILED || (hasKey && !writing && ifail == MV_FR_NO_FILE));
    } else if (!hasKey || writing) {
      FUZZ_CHECK(ifail == MV_FR_OK);
    } else {
      // Whether the file exists and what its header holds is the file system's: the open succeeds or says why not.
      FUZZ_CHECK(ifail == MV_FR_OK || ifail == MV_FR_NO_FILE || ifail == MV_FR_END_OF_DATA ||
                 ifail == MV_FR_READ_FAILED);
    }
    FUZZ_CHECK(ifail == MV_FR_OK ? id == free + 1 : id == -1);
    if (ifail != MV_FR_OK) return;
    m.idTaken[free] = true;
    m.open[id] = Stream{guise, writing, hasKey};
  }

  void write() {
    const int id = anyId();
    const int guise = guiseFor(id);
    const std::string data = in.ConsumeRandomLengthString(200);
    const int count = in.ConsumeBool() ? static_cast<int>(data.size()) : in.ConsumeIntegralInRange(-2, 0);
    int ifail = -1;
    writeToFrustrumFile(&guise, &id, &count, data.data(), &ifail);
    const Stream* s = target(id, guise, true);
    if (count < 0 || !s) return FUZZ_CHECK(ifail == MV_FR_UNSPECIFIED);
    if (!s->file && !m.hostStream) return FUZZ_CHECK(ifail == MV_FR_WRITE_FAILED);
    FUZZ_CHECK(ifail == MV_FR_OK);
    if (s->file) return;
    const size_t at = static_cast<size_t>(m.position);
    m.bytes.resize(std::max(m.bytes.size(), at + static_cast<size_t>(count)));
    m.bytes.replace(at, static_cast<size_t>(count), data, 0, static_cast<size_t>(count));
    m.position += count;
  }

  void read() {
    const int id = anyId();
    const int guise = guiseFor(id);
    const int max = in.ConsumeIntegralInRange(-1, 300);
    std::vector<char> buffer(301);
    int delivered = -1;
    int ifail = -1;
    readFromFrustrumFile(&guise, &id, &max, buffer.data(), &delivered, &ifail);
    const Stream* s = target(id, guise, false);
    // A read of 0 bytes is answered below, as end of data.
    if (max < 0 || !s) return FUZZ_CHECK(ifail == MV_FR_UNSPECIFIED && delivered == 0);
    if (s->file) {
      return FUZZ_CHECK((ifail == MV_FR_OK && delivered >= 1 && delivered <= max) ||
                        ((ifail == MV_FR_END_OF_DATA || ifail == MV_FR_READ_FAILED) && delivered == 0));
    }
    if (!m.hostStream) return FUZZ_CHECK(ifail == MV_FR_READ_FAILED);
    const long long available = static_cast<long long>(m.segmentEnd) - m.position;
    const int wanted = available < max ? static_cast<int>(available) : max;
    const int inStream = static_cast<int>(m.bytes.size()) - m.position;
    if (wanted < 1) return FUZZ_CHECK(ifail == MV_FR_END_OF_DATA && delivered == 0);
    if (wanted > inStream) {  // the stream holds less than the segment claims: a short read
      FUZZ_CHECK(ifail == MV_FR_READ_FAILED && delivered == 0);
      m.position += inStream;
      return;
    }
    FUZZ_CHECK(ifail == MV_FR_OK && delivered == wanted);
    FUZZ_CHECK(std::memcmp(buffer.data(), m.bytes.data() + m.position, static_cast<size_t>(wanted)) == 0);
    m.position += wanted;
  }

  void close() {
    const int id = anyId();
    const int guise = anyGuise();
    const int action = in.ConsumeIntegralInRange(0, 3);
    int ifail = -1;
    closeFrustrumFile(&guise, &id, &action, &ifail);
    const auto it = m.open.find(id);
    if (it == m.open.end()) return FUZZ_CHECK(ifail == MV_FR_CLOSE_FAILED);
    // Abandoning a file that another stream abandoned already cannot remove it.
    const bool mayFailRemoving = it->second.file && it->second.writing && action == 2;
    FUZZ_CHECK(ifail == MV_FR_OK || (mayFailRemoving && ifail == MV_FR_CLOSE_FAILED));
    m.idTaken[id - 1] = false;
    m.open.erase(it);
  }

  // A new current host stream, none, or a new segment end and position.
  void moveHostStream() {
    const int what = in.ConsumeIntegralInRange(0, 2);
    if (what < 2) {
      const std::string content = what == 0 ? in.ConsumeRandomLengthString(300) : "";
      current.reset();
      stream = what == 0 ? new MvMemoryStream(content.data(), static_cast<int>(content.size())) : nullptr;
      if (stream) current = std::make_unique<mvkm::CurrentHostStream>(*stream);
      m.hostStream = what == 0;
      m.bytes = content;
      m.position = m.segmentEnd = 0;
    } else if (m.hostStream) {
      m.segmentEnd = mvkm::gKmStream.pos = in.ConsumeIntegralInRange(-5, static_cast<int>(m.bytes.size()) + 5);
      m.position = in.ConsumeIntegralInRange(0, static_cast<int>(m.bytes.size()));
      FUZZ_CHECK(stream->seek(m.position) == 1);
    }
  }

  void stopped() {
    current.reset();
    stream = nullptr;
  }

  Model m;

 private:
  int anyGuise() { return in.ConsumeBool() ? in.PickValueInArray(kGuises) : in.ConsumeIntegral<int>(); }
  // An id that is open, or any other.
  int anyId() {
    if (m.open.empty() || !in.ConsumeBool()) return in.ConsumeIntegralInRange(-2, 40);
    auto it = m.open.begin();
    std::advance(it, in.ConsumeIntegralInRange<size_t>(0, m.open.size() - 1));
    return it->first;
  }
  // The guise of the stream with that id, or any.
  int guiseFor(int id) {
    const auto it = m.open.find(id);
    return it != m.open.end() && in.ConsumeBool() ? it->second.guise : anyGuise();
  }
  const Stream* target(int id, int guise, bool writing) const {
    const auto it = m.open.find(id);
    return it == m.open.end() || it->second.guise != guise || it->second.writing != writing ? nullptr : &it->second;
  }

  FuzzedDataProvider& in;
  MvAutoPtr<MvMemoryStream> stream;
  std::unique_ptr<mvkm::CurrentHostStream> current;
};

void restartFrustrum() {
  int ifail = -1;
  stopFileFrustrum(&ifail);
  FUZZ_CHECK(ifail == MV_FR_OK);
  startFileFrustrum(&ifail);
  FUZZ_CHECK(ifail == MV_FR_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  restartFrustrum();
  MvErrorState::clear();
  Run run(in);
  Model& m = run.m;
  int ifail = MV_FR_OK;
  const std::function<void()> calls[] = {
      [&] {  // the ids of streams still open stay taken
        startFileFrustrum(&ifail);
        for (int i = 0; i < kMaxStreams; ++i) m.idTaken[i] = m.open.count(i + 1) > 0;
      },
      [&] {  // the ids stay taken until the next start
        stopFileFrustrum(&ifail);
        m.open.clear();
      },
      [&] { abortFileFrustrum(&ifail); },
      [&] { run.open(true); },
      [&] { run.open(false); },
      [&] { run.write(); },
      [&] { run.read(); },
      [&] { run.close(); },
      [&] { run.moveHostStream(); },
      [&] { run.moveHostStream(); },
  };
  while (in.remaining_bytes() > 0) {
    calls[in.ConsumeIntegralInRange<size_t>(0, std::size(calls) - 1)]();
    FUZZ_CHECK(ifail == MV_FR_OK);
    FUZZ_CHECK(mvFrustrumOpenStreamCount() == static_cast<int>(m.open.size()));
    FUZZ_CHECK(mvFrustrumHasHostStream() == (m.hostStream ? 1 : 0));
  }
  run.stopped();
  FUZZ_CHECK(mvFrustrumHasHostStream() == 0);
  restartFrustrum();
  MvErrorState::clear();
  return 0;
}
