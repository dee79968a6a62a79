// The verbs of qvr-reg and how a verb plugs in.
//
// Each verb lives in a source file of its own in this folder and registers
// itself there with a static initializer:
//
//   namespace qvr::reg_tool {
//   namespace {
//   int Run(Invocation& call) { ... return kExitSuccess; }
//   const bool kRegistered = RegisterVerb({"query", "Lists keys and values.",
//                                          "QVR-REG QUERY KeyName [/v ValueName | /ve] [/s]\n...",
//                                          Run});
//   }  // namespace
//   }  // namespace qvr::reg_tool
//
// main.cpp finds the verb by its name (case-insensitively) and runs it with
// the arguments that follow the verb. Shared helpers for verbs: options.h
// (option parsing), key_path.h (key names, opening keys, remote machines),
// value_text.h (registry types and data as text), console.h (messages,
// prompts, exit codes).
#ifndef QVR_TOOLS_QVR_REG_VERB_H_
#define QVR_TOOLS_QVR_REG_VERB_H_

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace qvr::reg_tool {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;

// One run of a verb: its arguments and the streams it talks through.
struct Invocation {
  std::vector<std::string> args;  // what follows the verb on the command line
  std::ostream& out;
  std::ostream& err;
  std::istream& in;  // answers to Yes/No questions
};

using VerbMain = int (*)(Invocation& call);

struct Verb {
  std::string_view name;     // lower case, as typed (compared case-insensitively)
  std::string_view summary;  // one line for the general help
  std::string_view usage;    // the verb's help text ("qvr-reg VERB /?")
  VerbMain run;              // returns the exit code
};

// Adds a verb; returns true so it can initialize a static. A second verb of
// the same name is a programming error and aborts.
bool RegisterVerb(const Verb& verb);

// The verb called `name` (any letter case), or nullptr.
const Verb* FindVerb(std::string_view name);

// Every verb, in alphabetical order.
std::vector<Verb> AllVerbs();

}  // namespace qvr::reg_tool

#endif  // QVR_TOOLS_QVR_REG_VERB_H_
