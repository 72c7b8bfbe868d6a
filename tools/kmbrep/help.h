// The tool's help: an overview of the commands, a page per command, and the
// version.
#ifndef KMBREP_HELP_H
#define KMBREP_HELP_H

#include <string>

namespace kmbrep {

// The overview: every command in one line, the general options, and where
// to read more.
std::string overviewHelp();
// The usage lines alone, printed after a usage error.
std::string usageLines();
// The page of one command: what it does, every option, an example; empty
// for an unknown command.
std::string commandHelp(const std::string& command);
// The tool's, the library's and the kernels' versions.
std::string versionText();

}  // namespace kmbrep

#endif
