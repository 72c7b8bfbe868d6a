// kmbrep: writes, reads, inspects and exports kernel parts carried in host
// files, driven by the sample kernel.
#include "kmbrep/commands.h"
#include "kmbrep/output_file.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage =
    "usage: kmbrep demo [--out DIR]\n"
    "       kmbrep info FILE\n"
    "       kmbrep export FILE OUT.obj|OUT.svg|OUT.gltf [--level 0|1|2 | --absolute]\n"
    "       kmbrep transmit FILE KEY [--text|--binary]\n"
    "       kmbrep import KEY OUT\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::string command = argv[1];
  const kmbrep::Args args(argv + 2, argv + argc);
  try {
    if (command == "demo") return kmbrep::runDemo(args);
    if (command == "info") return kmbrep::runInfo(args);
    if (command == "export") return kmbrep::runExport(args);
    if (command == "transmit") return kmbrep::runTransmit(args);
    if (command == "import") return kmbrep::runImport(args);
    throw kmbrep::UsageError{"unknown command '" + command + "'"};
  } catch (const kmbrep::UsageError& e) {
    std::fprintf(stderr, "kmbrep: %s\n%s", e.message.c_str(), kUsage);
    return 2;
  } catch (const kmbrep::ToolError& e) {
    std::fprintf(stderr, "kmbrep: %s\n", e.message.c_str());
    return 1;
  }
}
