// Progress of long work on standard error: shown only when standard error is
// a terminal, the work has run for about a second, and it was not silenced.
// Nothing of it reaches standard output or the files written.
#ifndef KMBREP_PROGRESS_H
#define KMBREP_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <string>

namespace kmbrep {

// Silences (or allows) every meter of the process; allowed by default.
void setProgressQuiet(bool quiet);

// Counts one kind of work ("reading", "elements") while it lives; redraws one
// status line at most five times a second, with the count per second, and
// ends that line when it goes.
class ProgressMeter {
 public:
  ProgressMeter(const char* activity, const char* unit, bool bytes = false);
  ~ProgressMeter();
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  void add(long long count);

 private:
  void draw(bool last);

  const char* _activity;
  const char* _unit;
  bool _bytes;
  bool _enabled;
  bool _shown = false;
  long long _count = 0;
  size_t _width = 0;
  std::chrono::steady_clock::time_point _start;
  std::chrono::steady_clock::time_point _lastDraw;
};

}  // namespace kmbrep

#endif
