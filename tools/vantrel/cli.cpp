#include "tools/vantrel/cli.h"

#include <cstring>

#include "core/extract.h"
#include "core/report.h"
#include "tools/vantrel/commands.h"
#include "tools/vantrel/json.h"

namespace vantrel::cli {
namespace {

const char kVersion[] = "vantrel 1.0.29";

const char kToolHelp[] =
    "Usage: vantrel COMMAND [ARGS]\n"
    "Thumbnails from the previews that digital cameras store inside their raw files.\n"
    "\n"
    "Commands:\n"
    "%s"
    "\n"
    "Options:\n"
    "  -h, --help     show this help (or COMMAND --help for a command's)\n"
    "  --version      show the version\n"
    "\n"
    "Errors are printed as 'vantrel: error 0x%%08X: MESSAGE' and sent to syslog.\n";

int Extract(const std::vector<std::string>& args, Console console) {
  const char* raw = args[0].c_str();
  const char* out = args[1].c_str();
  ParseState state;
  StderrReports reports(console);
  const HResult hr = ExtractThumbnail(state, raw, out);
  if (Succeeded(hr)) return kExitOk;
  std::remove(out);
  reports.Finish(hr);
  return kExitFailure;
}

int Info(const std::vector<std::string>& args, Console console) {
  ParseState state;
  StderrReports reports(console);
  const HResult hr = ParseRawFile(state, args[0].c_str());
  CloseRawFile(state);
  const std::string json = InfoJson(hr, state, WriterName(ChooseWriter(state)));
  std::fprintf(console.out, "%s\n", json.c_str());
  if (Succeeded(hr)) return kExitOk;
  reports.Finish(hr);
  return kExitFailure;
}

const Command kCommands[] = {
    {"extract", "RAW OUT", "write the thumbnail file of RAW (a JPEG or a PPM/PGM) to OUT",
     "Runs the extraction on RAW and writes the thumbnail file to OUT, a stored JPEG as the\n"
     "camera wrote it or a PPM/PGM made from bare preview pixels. On failure OUT is removed.\n",
     nullptr, 2, 2, Extract},
    {"info", "RAW", "print what the parsers find in RAW, as one JSON object",
     "Recognises RAW and runs its container parser without writing a thumbnail, then prints\n"
     "one JSON object: status, make, model, thumbHead, thumbOffset, thumbLength, rotation,\n"
     "thumbWidth, thumbHeight, planarRgb, byteOrder, foveonVersion, rowPadding and writer.\n",
     nullptr, 1, 1, Info},
};

// The commands of this build, in the order of the command list.
std::vector<const Command*> AllCommands() {
  std::vector<const Command*> commands;
  for (const Command& command : kCommands) commands.push_back(&command);
  if (const Command* thumbnail = ThumbnailCommand()) commands.push_back(thumbnail);
  return commands;
}

std::string CommandList() {
  std::string list;
  for (const Command* entry : AllCommands()) {
    const Command& command = *entry;
    char line[160];
    std::snprintf(line, sizeof line, "  %-10s %s\n", command.name, command.summary);
    list += line;
  }
  return list;
}

void PrintCommandHelp(const Command& command, std::FILE* stream) {
  std::fprintf(stream, "Usage: vantrel %s %s%s%s\n%s", command.name,
               command.options != nullptr ? command.options : "",
               command.options != nullptr ? " " : "", command.arguments, command.description);
}

int UsageError(Console console, const char* what, const Command* command) {
  std::fprintf(console.err, "vantrel: %s\n", what);
  if (command != nullptr) {
    PrintCommandHelp(*command, console.err);
  } else {
    std::fprintf(console.err, "Try 'vantrel --help'.\n");
  }
  return kExitUsage;
}

int RunCommand(const Command& command, const std::vector<std::string>& args, Console console) {
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") {
      PrintCommandHelp(command, console.out);
      return kExitOk;
    }
  }
  if (command.parse != nullptr) return command.parse(command, args, console);
  std::vector<std::string> positional;
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') {
      return UsageError(console, ("unknown option '" + arg + "'").c_str(), &command);
    }
    positional.push_back(arg);
  }
  if (positional.size() < command.minArgs || positional.size() > command.maxArgs)
    return UsageError(console, "wrong number of arguments", &command);
  return command.run(positional, console);
}

}  // namespace

StderrReports::StderrReports(Console console) : console_(console), scope_(this, true) {}

void StderrReports::OnReport(HResult code, const char* message) {
  std::fprintf(console_.err, "vantrel: error 0x%08X: %s\n", static_cast<unsigned>(code), message);
  ++count_;
}

void StderrReports::Finish(HResult hr) {
  if (count_ == 0) PrintUnreportedFailure(console_, hr);
}

void PrintUnreportedFailure(Console console, HResult hr) {
  std::fprintf(console.err, "vantrel: failed: 0x%08X\n", static_cast<unsigned>(hr));
}

int CommandUsageError(const Command& command, Console console, const std::string& what) {
  return UsageError(console, what.c_str(), &command);
}

int Run(const std::vector<std::string>& args, Console console) {
  if (args.empty()) return UsageError(console, "no command given", nullptr);
  const std::string& first = args[0];
  if (first == "-h" || first == "--help" || first == "help") {
    std::fprintf(console.out, kToolHelp, CommandList().c_str());
    return kExitOk;
  }
  if (first == "--version") {
    std::fprintf(console.out, "%s\n", kVersion);
    return kExitOk;
  }
  for (const Command* command : AllCommands()) {
    if (first == command->name)
      return RunCommand(*command, std::vector<std::string>(args.begin() + 1, args.end()), console);
  }
  return UsageError(console, ("unknown command '" + first + "'").c_str(), nullptr);
}

}  // namespace vantrel::cli
