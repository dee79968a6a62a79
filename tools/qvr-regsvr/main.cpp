// qvr-regsvr: registers or unregisters an in-process server library, the way
// people register servers: it loads the library with dlopen and calls its
// DllRegisterServer or DllUnregisterServer.
//
//   qvr-regsvr [/u] [/s] LIBRARY
//   qvr-regsvr /t FILE.json LIBRARY      writes the library's type library
//
// Exit codes: 0 done, 2 bad arguments, 3 the library cannot be loaded, 4 it
// lacks the entry point, 5 the entry point reported a failure.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dispatch/hresult.h"
#include "dispatch/type_info.h"

namespace {

constexpr int kDone = 0;
constexpr int kBadArguments = 2;
constexpr int kCannotLoad = 3;
constexpr int kNoEntryPoint = 4;
constexpr int kEntryPointFailed = 5;

const char kUsage[] =
    "Usage: qvr-regsvr [/u] [/s] LIBRARY\n"
    "       qvr-regsvr /t FILE LIBRARY\n"
    "Registers the in-process server LIBRARY (a shared library exporting\n"
    "DllRegisterServer) in the local registry ($QVR_REGISTRY), or unregisters it.\n"
    "  /u       unregister (calls DllUnregisterServer)\n"
    "  /s       silent: no message on success\n"
    "  /t FILE  write the library's type library as JSON to FILE (\"-\" for\n"
    "           standard output) instead of registering\n"
    "  /?, --help  this text\n"
    "Options may also be written with '-' (-u, -s, -t).\n";

struct Options {
  bool unregister = false;
  bool silent = false;
  std::string typelib_file;
  std::string library;
};

bool IsOption(const std::string& a, char letter) {
  return a.size() == 2 && (a[0] == '/' || a[0] == '-') && (a[1] == letter || a[1] == letter - 32);
}

// Parses the arguments; returns -1 to go on, else an exit code.
int Parse(int argc, char** argv, Options* o) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "/?" || a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return kDone;
    } else if (IsOption(a, 'u')) {
      o->unregister = true;
    } else if (IsOption(a, 's')) {
      o->silent = true;
    } else if (IsOption(a, 't')) {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "qvr-regsvr: %s needs a file name\n", a.c_str());
        return kBadArguments;
      }
      o->typelib_file = args[++i];
    } else if (a.size() > 1 && (a[0] == '-' || (a[0] == '/' && a.size() == 2))) {
      std::fprintf(stderr, "qvr-regsvr: unknown option %s\n%s", a.c_str(), kUsage);
      return kBadArguments;
    } else if (o->library.empty()) {
      o->library = a;
    } else {
      std::fprintf(stderr, "qvr-regsvr: only one LIBRARY may be given\n%s", kUsage);
      return kBadArguments;
    }
  }
  if (o->library.empty()) {
    std::fprintf(stderr, "qvr-regsvr: no LIBRARY given\n%s", kUsage);
    return kBadArguments;
  }
  if (o->unregister && !o->typelib_file.empty()) {
    std::fprintf(stderr, "qvr-regsvr: /u and /t cannot be combined\n");
    return kBadArguments;
  }
  return -1;
}

int WriteTypeLibrary(void* handle, const Options& o) {
  using GetTypeLibrary = qvr::HRESULT (*)(const qvr::TypeLibrary**);
  auto get = reinterpret_cast<GetTypeLibrary>(dlsym(handle, "DllGetTypeLibrary"));
  if (!get) {
    std::fprintf(stderr, "qvr-regsvr: %s has no type library (no DllGetTypeLibrary)\n",
                 o.library.c_str());
    return kNoEntryPoint;
  }
  const qvr::TypeLibrary* lib = nullptr;
  qvr::HRESULT hr = get(&lib);
  if (qvr::Failed(hr) || !lib) {
    std::fprintf(stderr, "qvr-regsvr: DllGetTypeLibrary failed: %s\n",
                 qvr::DescribeHResult(hr).c_str());
    return kEntryPointFailed;
  }
  if (o.typelib_file == "-") {
    std::fputs(lib->ToJson().c_str(), stdout);
    return kDone;
  }
  std::string error;
  if (!lib->WriteJson(o.typelib_file, &error)) {
    std::fprintf(stderr, "qvr-regsvr: %s\n", error.c_str());
    return kEntryPointFailed;
  }
  if (!o.silent) {
    std::printf("Type library %s of %s written to %s.\n", lib->Name().c_str(),
                o.library.c_str(), o.typelib_file.c_str());
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int rc = Parse(argc, argv, &o); rc >= 0) return rc;

  // A file named without a folder is the file here, not one on the loader's
  // search path.
  std::string path = o.library;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) path = resolved;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "qvr-regsvr: cannot load %s: %s\n", o.library.c_str(), dlerror());
    return kCannotLoad;
  }
  if (!o.typelib_file.empty()) return WriteTypeLibrary(handle, o);

  const char* entry = o.unregister ? "DllUnregisterServer" : "DllRegisterServer";
  using EntryPoint = qvr::HRESULT (*)();
  auto fn = reinterpret_cast<EntryPoint>(dlsym(handle, entry));
  if (!fn) {
    std::fprintf(stderr, "qvr-regsvr: %s was loaded, but the entry point %s was not found.\n",
                 o.library.c_str(), entry);
    return kNoEntryPoint;
  }
  qvr::HRESULT hr = fn();
  if (qvr::Failed(hr)) {
    std::fprintf(stderr, "qvr-regsvr: %s in %s failed: %s\n", entry, o.library.c_str(),
                 qvr::DescribeHResult(hr).c_str());
    return kEntryPointFailed;
  }
  if (!o.silent) std::printf("%s in %s succeeded.\n", entry, o.library.c_str());
  return kDone;
}
