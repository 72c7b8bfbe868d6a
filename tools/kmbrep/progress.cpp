#include "kmbrep/progress.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kmbrep {

namespace {

bool gQuiet = false;

bool stderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

constexpr std::chrono::milliseconds kDelay{1000};
constexpr std::chrono::milliseconds kRedraw{200};

// A count as people read it: 12,345,678 or, for bytes, 12.3 MB.
std::string amount(double n, bool bytes) {
  char text[32];
  if (bytes) {
    const char* units[] = {"B", "kB", "MB", "GB", "TB"};
    int u = 0;
    while (n >= 1000.0 && u < 4) {
      n /= 1000.0;
      ++u;
    }
    std::snprintf(text, sizeof text, u ? "%.1f %s" : "%.0f %s", n, units[u]);
    return text;
  }
  std::snprintf(text, sizeof text, "%.0f", n);
  std::string digits = text;
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return digits;
}

}  // namespace

void setProgressQuiet(bool quiet) { gQuiet = quiet; }

ProgressMeter::ProgressMeter(const char* activity, const char* unit, bool bytes)
    : _activity(activity), _unit(unit), _bytes(bytes), _enabled(!gQuiet && stderrIsTerminal()),
      _start(std::chrono::steady_clock::now()), _lastDraw(_start) {}

ProgressMeter::~ProgressMeter() {
  if (_shown) draw(true);
}

void ProgressMeter::add(long long count) {
  _count += count;
  if (!_enabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - _start < kDelay || now - _lastDraw < kRedraw) return;
  _lastDraw = now;
  draw(false);
}

void ProgressMeter::draw(bool last) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - _start).count();
  const double rate = seconds > 0.0 ? _count / seconds : 0.0;
  const std::string count = amount(static_cast<double>(_count), _bytes);
  const std::string perSecond = amount(rate, _bytes);
  const std::string unit = _bytes ? "" : std::string(" ") + _unit;
  const std::string line = std::string("kmbrep: ") + _activity + " " + count + unit + ", " + perSecond + unit + "/s";
  // Padded to the last line's width, so a shorter line leaves nothing behind
  // (plain spaces: not every console takes escape sequences).
  const size_t width = line.size();
  std::fprintf(stderr, "\r%s%*s%s", line.c_str(), static_cast<int>(_width > width ? _width - width : 0), "",
               last ? "\n" : "");
  _width = width;
  std::fflush(stderr);
  _shown = true;
}

}  // namespace kmbrep
