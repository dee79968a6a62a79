// Messages, questions and exit codes shared by the verbs of qvr-reg.
//
// Output follows reg.exe: "The operation completed successfully." on
// standard output after a change, "ERROR: ..." on standard error and exit
// code 1 on any failure.
#ifndef QVR_TOOLS_QVR_REG_CONSOLE_H_
#define QVR_TOOLS_QVR_REG_CONSOLE_H_

#include <ostream>
#include <string>
#include <string_view>

#include "registry/registry_api.h"
#include "verb.h"

namespace qvr::reg_tool {

struct KeyPath;
class RegistrySession;

// The message for a registry result code, e.g. 2 "The system was unable to
// find the specified registry key or value."
std::string ResultText(LONG code);

// Writes "ERROR: <text>" to the error stream; returns kExitFailure.
int Fail(Invocation& call, std::string_view text);
// Fail with the message of a registry result code.
int FailWithCode(Invocation& call, LONG code);
// FailWithCode for a key of `machine` ("" for this one): when the machine
// cannot be reached (53), says why in the machine table's words.
int FailOnMachine(Invocation& call, const std::string& machine, LONG code);
// Why a write below `path` is refused with 5, in a person's words: another
// machine that is a Wine prefix or a Windows installation (both only read),
// a store file this process may not write, a hive loaded read-only. "" when
// none of these is the case.
std::string ReadOnlyReason(RegistrySession& session, const KeyPath& path);
// FailOnMachine for a write below `path`; a refusal (5) says why the
// store is read-only when ReadOnlyReason knows.
int FailWrite(Invocation& call, RegistrySession& session, const KeyPath& path, LONG code);
// Prints, as a "WARNING: " line on `err`, what the machine `machine` (""
// for this one), connected already, has to tell though it was reached: the
// keys a Windows installation left out. Once per process and machine.
void WarnOfMachine(std::ostream& err, const std::string& machine);
// "ERROR: Invalid syntax." with the reason and a pointer to the verb's help.
int SyntaxError(Invocation& call, std::string_view verb, std::string_view reason = {});
// Writes "The operation completed successfully."; returns kExitSuccess.
int Succeed(Invocation& call);

// Asks "<question> (Yes/No)? " until the answer is yes or no; true for yes.
// The end of input counts as no.
bool Confirm(Invocation& call, std::string_view question);
// The message for a question answered no; returns kExitFailure.
int Cancelled(Invocation& call);

}  // namespace qvr::reg_tool

#endif  // QVR_TOOLS_QVR_REG_CONSOLE_H_
