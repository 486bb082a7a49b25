// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli.h"

namespace quavrix::cli {

namespace {
std::map<std::string, Command>& registry() {
  static std::map<std::string, Command> commands;
  return commands;
}

// Asked for, the usage goes to standard output; after a mistake, to the errors.
void printUsage(std::FILE* out = stderr) {
  std::fprintf(
      out,
      "usage: quavrix-cli COMMAND [ARGS]\n       quavrix-cli --help | --version\n\ncommands:\n");
  for (const auto& [name, command] : registry()) std::fprintf(out, "  %s\n", command.usage);
  std::fprintf(out, "\nSee quavrix-cli(1) for the options of each command.\n");
}
}  // namespace

CommandRegistrar::CommandRegistrar(Command command) {
  registry()[command.name] = command;
}

Args::Args(const std::vector<std::string>& args, const std::vector<std::string>& valued) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.rfind("--", 0) == 0) {
      bool takesValue = false;
      for (const auto& v : valued) takesValue |= (v == a);
      if (!takesValue) {
        flags_.push_back(a);
      } else if (i + 1 < args.size()) {
        values_.emplace_back(a, args[++i]);
      } else {
        error_ = a + " needs a value";
      }
    } else {
      positional_.push_back(a);
    }
  }
}

bool Args::flag(const std::string& name) const {
  for (const auto& f : flags_)
    if (f == name) return true;
  return false;
}

std::optional<std::string> Args::value(const std::string& name) const {
  for (auto it = values_.rbegin(); it != values_.rend(); ++it)
    if (it->first == name) return it->second;
  return std::nullopt;
}

Answer ConsolePrompter::show(std::string_view text, Icon icon, Buttons buttons) {
  std::fprintf(stderr, "%s: %.*s\n", iconName(icon), static_cast<int>(text.size()), text.data());
  if (buttons == Buttons::Ok) return Answer::Ok;
  const bool agree = answer_ == Answer::Yes || answer_ == Answer::Ok;
  if (buttons == Buttons::OkCancel) {
    std::fprintf(stderr, "  -> %s\n", agree ? "OK" : "Cancel");
    return agree ? Answer::Ok : Answer::Cancel;
  }
  std::fprintf(stderr, "  -> %s\n", agree ? "Yes" : "No");
  return agree ? Answer::Yes : Answer::No;
}

int usageError(const std::string& command, const std::string& reason) {
  std::fprintf(stderr, "quavrix-cli %s: %s\n", command.c_str(), reason.c_str());
  const auto it = registry().find(command);
  if (it != registry().end()) std::fprintf(stderr, "usage: quavrix-cli %s\n", it->second.usage);
  return 2;
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace quavrix::cli

int main(int argc, char** argv) {
  using namespace quavrix::cli;
  if (argc < 2 || std::string(argv[1]) == "help" || std::string(argv[1]) == "--help" ||
      std::string(argv[1]) == "-h") {
    printUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::string(argv[1]) == "--version") {
    std::printf("quavrix-cli %s\n", QUAVRIX_VERSION);
    return 0;
  }
  const auto it = registry().find(argv[1]);
  if (it == registry().end()) {
    std::fprintf(stderr, "quavrix-cli: unknown command \"%s\"\n", argv[1]);
    printUsage();
    return 2;
  }
  return it->second.run(std::vector<std::string>(argv + 2, argv + argc));
}
