// qvr-reg: reads and changes the registry from the command line, with the
// verbs, options and output of Windows' reg.exe. Each verb is a file of this
// folder (see verb.h).
#include <iostream>
#include <string>
#include <vector>

#include "console.h"
#include "options.h"
#include "regfile/wine_prefix.h"
#include "registry/registry_service.h"
#include "verb.h"

namespace {

using qvr::reg_tool::AllVerbs;

void PrintUsage(std::ostream& out) {
  out << "qvr-reg VERB [arguments]\n\n"
      << "Reads and changes the registry. The local machine's store is the file named by\n"
      << "QVR_REGISTRY, else $XDG_DATA_HOME/qvrRegistryBrowser/local.sqlite.\n\n"
      << "Verbs:\n";
  for (const auto& verb : AllVerbs()) {
    std::string name(verb.name);
    name.resize(10, ' ');
    out << "  " << name << verb.summary << "\n";
  }
  out << "\nType \"qvr-reg VERB /?\" for the help of a verb.\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qvr::reg_tool;
  qvr::WinePrefix::RegisterOpener();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << "ERROR: Invalid syntax.\n";
    PrintUsage(std::cerr);
    return kExitFailure;
  }
  if (args[0] == "/?" || args[0] == "-?" || args[0] == "--help") {
    PrintUsage(std::cout);
    return kExitSuccess;
  }
  const Verb* verb = FindVerb(args[0]);
  if (verb == nullptr) {
    std::cerr << "ERROR: Invalid syntax. \"" << args[0] << "\" is not a verb of qvr-reg.\n"
              << "Type \"qvr-reg /?\" for usage.\n";
    return kExitFailure;
  }
  Invocation call{std::vector<std::string>(args.begin() + 1, args.end()), std::cout, std::cerr,
                  std::cin};
  if (WantsHelp(call.args)) {
    std::cout << verb->usage;
    return kExitSuccess;
  }
  // Open the local store here rather than on the first registry call, so
  // that a store that cannot be opened is reported with its reason.
  std::string path = qvr::LocalStorePath();
  std::shared_ptr<qvr::RegistryService> service;
  qvr::Status opened = qvr::RegistryService::Open(path, qvr::MachineTablePath(path), &service);
  if (!opened.ok()) {
    return Fail(call, "Cannot open the registry store " + path + ": " + opened.message());
  }
  qvr::SetCurrentRegistryService(service);
  int code = verb->run(call);
  call.out.flush();
  return code;
}
