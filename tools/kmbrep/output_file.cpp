#include "kmbrep/output_file.h"

#include <cstdio>
#include <fstream>

namespace kmbrep {

OutputFile::OutputFile(std::string path) : _path(std::move(path)), _temp(_path + ".partial") {}

OutputFile::~OutputFile() {
  if (!_committed) std::remove(_temp.c_str());
}

void OutputFile::commit() {
  std::remove(_path.c_str());
  if (std::rename(_temp.c_str(), _path.c_str()) != 0) throw ToolError{"cannot write " + _path};
  _committed = true;
}

void writeWholeFile(const std::string& path, const std::string& text) {
  OutputFile out(path);
  {
    std::ofstream file(out.tempPath(), std::ios::binary | std::ios::trunc);
    if (!file) throw ToolError{"cannot create " + path};
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) throw ToolError{"cannot write " + path};
  }
  out.commit();
}

}  // namespace kmbrep
