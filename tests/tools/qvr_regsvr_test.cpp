// qvr-regsvr end to end: registering and unregistering the server library in
// a temporary store, the type library as JSON, and its failures.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "registry/registry_api.h"
#include "support/run_program.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

testing::ProgramResult Regsvr(const std::vector<std::string>& args) {
  return testing::RunProgram(testing::BuildOutput("tools/qvr-regsvr/qvr-regsvr"), args);
}

// The default text of a key below HKEY_CLASSES_ROOT, or "<none>".
std::string Default(const std::string& path) {
  HKEY h = 0;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
    return "<none>";
  }
  char buf[4096] = {};
  DWORD type = 0, size = sizeof buf - 1;
  LONG rc = RegQueryValueExA(h, "", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? std::string(buf) : "<none>";
}

TEST(QvrRegsvrTest, RegistersUnregistersAndWritesTheTypeLibrary) {
  testing::TempRegistry temp;
  const std::string library = testing::BuildOutput("server/libqvrRegistryBrowser.so");
  const std::string progid = "qvrRegistryBrowser.qvrClsRegistryObject";

  auto r = Regsvr({library});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("DllRegisterServer"), std::string::npos);
  // What registration writes and removes: tests/server/entry_points_test.cpp.
  EXPECT_EQ(Default(progid + "\\CLSID").size(), 38u);

  r = Regsvr({"-u", "-s", library});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Default(progid + "\\CLSID"), "<none>");

  const std::string json = temp.Dir() + "/lib.json";
  r = Regsvr({"/t", json, library});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::stringstream text;
  text << std::ifstream(json).rdbuf();
  EXPECT_NE(text.str().find("\"name\": \"qvrRegistryBrowser\""), std::string::npos);
  r = Regsvr({"/t", "-", library});
  EXPECT_EQ(r.out, text.str());
}

TEST(QvrRegsvrTest, FailuresHaveTheirOwnExitCodes) {
  testing::TempRegistry temp;
  const std::string library = testing::BuildOutput("server/libqvrRegistryBrowser.so");
  EXPECT_EQ(Regsvr({}).exit_code, 2);
  EXPECT_EQ(Regsvr({"/q", library}).exit_code, 2);
  EXPECT_EQ(Regsvr({library, library}).exit_code, 2);
  EXPECT_EQ(Regsvr({"/u", "/t", "x.json", library}).exit_code, 2);
  EXPECT_EQ(Regsvr({"/t"}).exit_code, 2);
  auto r = Regsvr({temp.Dir() + "/missing.so"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.err.find("cannot load"), std::string::npos);
  // A shared library that is not a server.
  r = Regsvr({"libm.so.6"});
  EXPECT_EQ(r.exit_code, 4);
  EXPECT_NE(r.err.find("DllRegisterServer"), std::string::npos);
  r = Regsvr({"/?"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("Usage"), std::string::npos);
}

}  // namespace
}  // namespace qvr
