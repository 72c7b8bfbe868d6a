// A NUL-terminated text owned by the toolkit.
#ifndef MV_HOST_STRING_H
#define MV_HOST_STRING_H

#include "host/MvExport.h"

#include <string>

class MV61_API MvString {
 public:
  MvString() = default;
  MvString(const char* text) : _text(text ? text : "") {}
  const char* c_str() const noexcept { return _text.c_str(); }
  int length() const noexcept { return static_cast<int>(_text.size()); }
  bool operator==(const MvString& o) const { return _text == o._text; }

 private:
  std::string _text;
};

#endif
