#pragma once
// One function per ssbuild command; `args` holds the command's own arguments.
#include <iosfwd>
#include <string>
#include <vector>

namespace ssbuild {

using CommandArgs = std::vector<std::string>;

int BuildCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int DataCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int ListCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int VerifyCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int ExtractCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int ImplodeCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int InitCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int ExplodeCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RenderCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);

// "ssbuild: TEXT" and kExitUsage, with a pointer to the help.
int UsageFailure(std::ostream& err, const std::string& text);

}  // namespace ssbuild
