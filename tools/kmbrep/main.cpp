// kmbrep: writes, reads, inspects and exports kernel parts carried in host
// files, driven by the sample kernel.
#include "kmbrep/commands.h"
#include "kmbrep/output_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

namespace {

const char* const kUsage =
    "usage: kmbrep demo [--out DIR]\n"
    "       kmbrep info FILE\n"
    "       kmbrep export FILE OUT.obj|OUT.svg|OUT.gltf [--level 0|1|2 | --absolute] [--max-triangles N]\n"
    "       kmbrep transmit FILE KEY [--text|--binary]\n"
    "       kmbrep import KEY OUT [--text|--binary]\n"
    "       (any command: --verbose adds the library's reports to a failure)\n";

int run(const std::string& command, const kmbrep::Args& args) {
  if (command == "demo") return kmbrep::runDemo(args);
  if (command == "info") return kmbrep::runInfo(args);
  if (command == "export") return kmbrep::runExport(args);
  if (command == "transmit") return kmbrep::runTransmit(args);
  if (command == "import") return kmbrep::runImport(args);
  throw kmbrep::UsageError{"unknown command '" + command + "'"};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::string command = argv[1];
  kmbrep::Args args(argv + 2, argv + argc);
  const auto verboseAt = std::find(args.begin(), args.end(), "--verbose");
  const bool verbose = verboseAt != args.end();
  if (verbose) args.erase(verboseAt);
  // Every failure ends here as one line (and, with --verbose, the reports
  // behind it); nothing escapes as a crash.
  try {
    return run(command, args);
  } catch (const kmbrep::UsageError& e) {
    std::fprintf(stderr, "kmbrep: %s\n%s", e.message.c_str(), kUsage);
    return 2;
  } catch (const kmbrep::ToolError& e) {
    std::fprintf(stderr, "kmbrep: %s\n", e.message.c_str());
    if (verbose)
      for (const std::string& d : e.details) std::fprintf(stderr, "  %s\n", d.c_str());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fputs("kmbrep: out of memory\n", stderr);
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kmbrep: unexpected failure: %s\n", e.what());
    return 1;
  } catch (...) {
    std::fputs("kmbrep: unexpected failure\n", stderr);
    return 1;
  }
}
