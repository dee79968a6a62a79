// qvr-reg add: creates a key, and writes a value into it.
#include <string>

#include "console.h"
#include "options.h"
#include "session.h"
#include "value_text.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg add KeyName [/v ValueName | /ve] [/t Type] [/s Separator] [/d Data] [/f]\n"
    "\n"
    "  KeyName    [\\\\Machine\\]FullKey, as for query. Missing keys are created.\n"
    "  /v         The name of the value to write.\n"
    "  /ve        Writes the key's default (unnamed) value.\n"
    "  /t         The type: REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ,\n"
    "             REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_QWORD, REG_BINARY, REG_NONE,\n"
    "             REG_LINK, REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR,\n"
    "             REG_RESOURCE_REQUIREMENTS_LIST, or any type code as a number\n"
    "             (decimal, or hexadecimal after 0x).\n"
    "  /s         The separator of the strings of REG_MULTI_SZ data in /d (default \\0).\n"
    "  /d         The data: text for the string types; for the number types a\n"
    "             number in decimal or, after 0x, in hexadecimal; for every other\n"
    "             type hexadecimal digits, two per byte, as for REG_BINARY.\n"
    "  /f         Overwrites an existing value without asking.\n"
    "\n"
    "Without /v or /ve only the key is created (/t, /s or /d alone write the\n"
    "default value).\n"
    "\n"
    "Examples:\n"
    "  qvr-reg add HKCU\\Software\\Acme /v Count /t REG_DWORD /d 0x10 /f\n"
    "  qvr-reg add HKCU\\Software\\Acme /v Paths /t REG_MULTI_SZ /d \"a\\0b\"\n"
    "  qvr-reg add HKCU\\Software\\Acme /v Odd /t 0x20000 /d 0102\n";

int Run(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{{"ve", "f"}, {"v", "t", "s", "d"}}, &options, &error)) {
    return SyntaxError(call, "add", error);
  }
  if (options.Positional().size() != 1) return SyntaxError(call, "add", "Give one key name.");
  if (options.Has("v") && options.Has("ve")) {
    return SyntaxError(call, "add", "/v and /ve exclude each other.");
  }
  DWORD type = REG_SZ;
  if (const std::string* name = options.Value("t"); name && !TypeFromName(*name, &type)) {
    return Fail(call, "\"" + *name +
                          "\" is not a registry type: give a REG_ name or a type code as a "
                          "number.");
  }
  if (options.Has("s") && type != REG_MULTI_SZ) {
    return SyntaxError(call, "add", "/s is for REG_MULTI_SZ data only.");
  }
  KeyPath path;
  if (!ParseKeyPath(options.Positional()[0], &path, &error)) return Fail(call, error);

  const bool write_value = options.Has("v") || options.Has("ve") || options.Has("t") ||
                           options.Has("s") || options.Has("d");
  std::string data;
  if (write_value) {
    const std::string* text = options.Value("d");
    const std::string* separator = options.Value("s");
    if (!DataFromText(type, text ? *text : "", separator ? *separator : "\\0", &data, &error)) {
      return Fail(call, error);
    }
  }

  RegistrySession session(&call.err);
  HKEY key = 0;
  LONG rc = session.Open(path, true, &key);
  if (rc != ERROR_SUCCESS) return FailWrite(call, session, path, rc);
  if (write_value) {
    const std::string name = options.Has("v") ? *options.Value("v") : "";
    RegistryValue existing;
    if (!options.Has("f") && ReadValue(key, name, &existing) == ERROR_SUCCESS &&
        !Confirm(call, "Value " + (name.empty() ? std::string("(Default)") : name) +
                           " exists, overwrite")) {
      return Cancelled(call);
    }
    rc = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
    if (rc != ERROR_SUCCESS) return FailWrite(call, session, path, rc);
  }
  session.Close(key);
  return Succeed(call);
}

const bool kRegistered =
    RegisterVerb({"add", "Creates a key, and writes a value into it.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
