// RunProgram: runs a built program of the project and collects what it did.
#ifndef QVR_TESTS_SUPPORT_RUN_PROGRAM_H_
#define QVR_TESTS_SUPPORT_RUN_PROGRAM_H_

#include <string>
#include <vector>

namespace qvr::testing {

struct ProgramResult {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// The path of a build output, e.g. "tools/qvr-reg/qvr-reg", below the build
// folder named by QVR_TEST_BIN_DIR (set by the test runner).
std::string BuildOutput(const std::string& relative);

// Runs `program` with `args`, `input` on its standard input and the current
// environment (so QVR_REGISTRY of a TempRegistry applies); waits for it.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "");

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_RUN_PROGRAM_H_
