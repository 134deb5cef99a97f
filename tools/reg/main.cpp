// afficheur-reg: look at and edit the registry store that the "$" settings route and
// RegistryKey use, and move settings to and from .reg files. It works through the registry
// services (platform/Registry.h), so it is safe alongside a running client.
//
// Exit status: 0 on success, 1 on any error (with one line on stderr), 2 for bad usage.

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "TreeWalk.h"
#include "ValueText.h"
#include "common/Log.h"
#include "platform/CommandLine.h"

namespace {

const char* const kUsage = R"(Usage: afficheur-reg COMMAND KEY [options]

Looks at and edits the registry store of afficheur (registry.sqlite3 in the settings folder).
KEY is ROOT\Subkey\...; ROOT is HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM),
HKEY_CLASSES_ROOT (HKCR), HKEY_USERS (HKU), HKEY_CURRENT_CONFIG (HKCC) or HKEY_DYN_DATA,
in any case.

  query  KEY [/v NAME | /ve] [/s]            show values (and subkeys); /s: the whole tree
  add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/s SEP] [/f]
                                             add a key, or set a value (TYPE: REG_SZ,
                                             REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD,
                                             REG_QWORD, REG_BINARY; default REG_SZ)
  delete KEY [/v NAME | /ve | /va] [/f]      delete a value, all values, or the key and its tree
  export KEY FILE [/y] [--regedit4]          write the key and its tree to a .reg file
                                             (version 5.00, UTF-16LE; --regedit4: REGEDIT4)
  import FILE                                read a .reg file (either version) into the store

Options (each also has a long form):
  /v NAME   --value=NAME      the value NAME
  /ve       --default         the default (unnamed) value
  /va       --all-values      every value of the key
  /t TYPE   --type=TYPE       the value's type
  /d DATA   --data=DATA       the value's data (REG_BINARY: hex digits; REG_DWORD and
                              REG_QWORD: decimal or 0x hex; REG_MULTI_SZ: items split at SEP)
  /s SEP    --separator=SEP   REG_MULTI_SZ separator for add (default \0)
  /s        --recursive       query the whole tree
  /f        --force           no questions: overwrite or delete at once
  /y        --yes             export over an existing file
            --regedit4        export as REGEDIT4 (Windows-1252)
  -h        --help            this text
            --version         the version of afficheur-reg
)";

reg::Options ParseOptions(const std::string& command, const std::vector<std::string>& args) {
    reg::Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (const size_t eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
            }
        }
        auto next = [&](const char* what) {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw reg::Failure(std::string(what) + " needs an argument");
            return args[++i];
        };
        const std::string key = reg::Lower(arg);
        if (key == "/v" || key == "-v" || key == "--value") {
            o.value = next("/v");
        } else if (key == "/ve" || key == "--default") {
            o.defaultValue = true;
        } else if (key == "/va" || key == "--all-values") {
            o.allValues = true;
        } else if (key == "/t" || key == "-t" || key == "--type") {
            o.type = next("/t");
        } else if (key == "/d" || key == "-d" || key == "--data") {
            o.data = next("/d");
        } else if ((key == "/s" && command == "add") || key == "--separator") {
            o.separator = next("/s");
        } else if (key == "/s" || key == "-s" || key == "--recursive") {
            o.recursive = true;
        } else if (key == "/f" || key == "-f" || key == "--force") {
            o.force = true;
        } else if (key == "/y" || key == "-y" || key == "--yes") {
            o.yes = true;
        } else if (key == "--regedit4") {
            o.regedit4 = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw reg::Failure("Invalid syntax: unknown option '" + args[i] + "'");
        } else {
            // Anything else, "/tmp/file.reg" included, is a key or a file.
            o.positional.push_back(args[i]);
        }
    }
    if (o.value && o.defaultValue) throw reg::Failure("Invalid syntax: /v and /ve together");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::Arguments(argc, argv);
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = reg::Lower(args[0]);
    if (command == "-h" || command == "--help" || command == "/?" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "afficheur-reg " << AFFICHEUR_VERSION << "\n";
        return 0;
    }
    const std::map<std::string, int (*)(const reg::Options&)> commands = {
        {"query", reg::Query},   {"add", reg::Add},       {"delete", reg::Delete},
        {"export", reg::Export}, {"import", reg::Import},
    };
    const auto found = commands.find(command);
    if (found == commands.end()) {
        std::cerr << "ERROR: Invalid syntax: unknown command '" << EscapeControls(args[0])
                  << "'. Type \"afficheur-reg --help\" for usage.\n";
        return 2;
    }
    try {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const auto& arg : rest) {
            if (arg == "--help" || arg == "-h" || arg == "/?") {
                std::cout << kUsage;
                return 0;
            }
        }
        return found->second(ParseOptions(command, rest));
    } catch (const std::exception& error) {
        std::cerr << "ERROR: " << EscapeControls(error.what()) << "\n";
        return 1;
    }
}
