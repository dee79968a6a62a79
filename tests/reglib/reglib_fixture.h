// A registry object over a fresh temporary registry, with a scratch key
// (HKEY_CURRENT_USER\Software\QvrTest) opened for the test.
#ifndef QVR_TESTS_REGLIB_REGLIB_FIXTURE_H_
#define QVR_TESTS_REGLIB_REGLIB_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "registry/registry_api.h"
#include "reglib/qvr_cls_registry_object.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr {

class ReglibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg_ = qvrClsRegistryObject::Create();
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QvrTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &scratch_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    reg_.reset();
    RegCloseKey(scratch_);
  }

  // Writes raw bytes as a value of the scratch key.
  void PutRaw(const std::string& name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(
        RegSetValueExA(scratch_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())),
        ERROR_SUCCESS);
  }

  // A value of the scratch key, raw; {REG_NONE, "<absent>"} when absent.
  std::pair<DWORD, std::string> GetRaw(const std::string& name) {
    return testing::GetRaw(scratch_, name);
  }
  bool KeyExists(HKEY parent, const std::string& path) { return testing::KeyExists(parent, path); }

  testing::TempRegistry temp_;
  std::shared_ptr<qvrClsRegistryObject> reg_;
  HKEY scratch_ = 0;
};

}  // namespace qvr

#endif  // QVR_TESTS_REGLIB_REGLIB_FIXTURE_H_
