// kmbrep: writes, reads, inspects and exports kernel parts carried in host
// files, driven by the sample kernel or the Open CASCADE adapter.
#include "kmbrep/commands.h"
#include "kmbrep/help.h"
#include "kmbrep/output_file.h"
#include "kmbrep/progress.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>

namespace {

bool isHelp(const std::string& a) { return a == "--help" || a == "-h"; }

// Removes every `flag` from args; whether there was one.
bool takeFlag(kmbrep::Args& args, const char* flag) {
  const auto from = std::remove(args.begin(), args.end(), std::string(flag));
  const bool found = from != args.end();
  args.erase(from, args.end());
  return found;
}

// Prints one command's page; false when there is no such command.
bool printCommandHelp(const std::string& command) {
  const std::string page = kmbrep::commandHelp(command);
  if (page.empty()) return false;
  std::fputs(page.c_str(), stdout);
  return true;
}

int run(const std::string& command, const kmbrep::Args& args) {
  if (isHelp(command)) {
    std::fputs(kmbrep::overviewHelp().c_str(), stdout);
    return 0;
  }
  if (command == "--version") {
    std::fputs(kmbrep::versionText().c_str(), stdout);
    return 0;
  }
  if (command == "help") {
    if (args.empty()) {
      std::fputs(kmbrep::overviewHelp().c_str(), stdout);
      return 0;
    }
    if (args.size() == 1 && printCommandHelp(args[0])) return 0;
    throw kmbrep::UsageError{"help takes one command name"};
  }
  if (std::any_of(args.begin(), args.end(), isHelp) && printCommandHelp(command)) return 0;
  if (command == "demo") {
    const int status = kmbrep::runDemo(args);
    return status == 0 ? kmbrep::runOcctDemo(args) : status;
  }
  if (command == "info") return kmbrep::runInfo(args);
  if (command == "export") return kmbrep::runExport(args);
  if (command == "view") return kmbrep::runView(args);
  if (command == "transmit") return kmbrep::runTransmit(args);
  if (command == "import") return kmbrep::runImport(args);
  if (command == "convert") return kmbrep::runConvert(args);
  throw kmbrep::UsageError{"unknown command '" + command + "'"};
}

}  // namespace

int main(int argc, char** argv) {
  kmbrep::Args args(argv + 1, argv + argc);
  // --verbose and --quiet may stand anywhere.
  const bool verbose = takeFlag(args, "--verbose");
  kmbrep::setProgressQuiet(takeFlag(args, "--quiet"));
  if (args.empty()) {
    std::fputs(kmbrep::usageLines().c_str(), stderr);
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  // Every failure ends here as one line (and, with --verbose, the reports
  // behind it); nothing escapes as a crash.
  try {
    return run(command, args);
  } catch (const kmbrep::UsageError& e) {
    std::fprintf(stderr, "kmbrep: %s\n%s", e.message.c_str(), kmbrep::usageLines().c_str());
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
