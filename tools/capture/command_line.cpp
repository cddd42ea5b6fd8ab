#include "command_line.h"

#include "leading_options.h"

namespace korvi::capture {
namespace {

[[noreturn]] void Refuse(const std::string& what) { throw UsageError(what + "; " + std::string(kUsage)); }

}  // namespace

std::string Shown(const std::string& argument) {
  constexpr std::size_t kShown = 40;
  return "\"" + (argument.size() > kShown ? argument.substr(0, kShown) + "..." : argument) + "\"";
}

std::string HelpText() {
  return std::string(kUsage) +
         "\n"
         "Runs PROGRAM (default: korvi-sar.exe in the capture's own folder) as its child and passes\n"
         "the child's standard output through unchanged. Stamps every console and debug-channel\n"
         "message of the child on arrival and, at the end, writes a summary to standard error.\n"
         "  --debug-file FILE  every debug message of the child, one line each (a line break in a\n"
         "                     message as \\n, a backslash as \\\\), UTF-8\n"
         "  --trace FILE       the trace: one JSON record per line (notifications, firmware requests\n"
         "                     with the state asked for and ExecMethod's result, radio off, exit)\n"
         "  --help, -h         this text\n"
         "Ends with the child's exit code; 125 for the capture's own trouble, 127 when the program\n"
         "cannot be started.\n";
}

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  line.program = ReadLeadingOptions(
      arguments,
      [&](std::size_t i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
          line.help = true;
          return i;
        }
        if (argument != "--debug-file" && argument != "--trace") Refuse("unknown option " + Shown(argument));
        std::optional<std::size_t>& slot = argument == "--trace" ? line.trace : line.debugFile;
        if (slot) Refuse(argument + " is given twice");
        if (i + 1 == arguments.size()) Refuse(argument + " needs a file name");
        if (arguments[i + 1].empty()) Refuse("the file name after " + argument + " is empty");
        slot = i + 1;
        return i + 1;
      },
      Refuse);
  if (line.debugFile && line.trace && arguments[*line.debugFile] == arguments[*line.trace]) {
    Refuse("--debug-file and --trace name the same file " + Shown(arguments[*line.trace]));
  }
  return line;
}

}  // namespace korvi::capture
