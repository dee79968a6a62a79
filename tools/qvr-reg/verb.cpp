#include "verb.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/unicode.h"

namespace qvr::reg_tool {
namespace {

// A function-local table: verbs register during static initialization, in
// whatever order the linker runs their files.
std::vector<Verb>& Table() {
  static std::vector<Verb> table;
  return table;
}

}  // namespace

bool RegisterVerb(const Verb& verb) {
  if (FindVerb(verb.name) != nullptr) {
    std::fprintf(stderr, "qvr-reg: the verb %.*s is registered twice\n",
                 static_cast<int>(verb.name.size()), verb.name.data());
    std::abort();
  }
  Table().push_back(verb);
  return true;
}

const Verb* FindVerb(std::string_view name) {
  for (const Verb& verb : Table()) {
    if (EqualsNoCase(verb.name, name)) return &verb;
  }
  return nullptr;
}

std::vector<Verb> AllVerbs() {
  std::vector<Verb> verbs = Table();
  std::sort(verbs.begin(), verbs.end(),
            [](const Verb& a, const Verb& b) { return a.name < b.name; });
  return verbs;
}

}  // namespace qvr::reg_tool
