// The hive store over arbitrary bytes: the fuzzer's input is written to a
// file, opened as a hive through HiveStore and walked as a browser would;
// a hive that opens writable then takes a write, which must leave a file
// that opens again. Nothing may crash, and every call answers with one of
// the codes the store promises.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "registry/hive_store.h"

namespace {

using qvr::EnumCursor;
using qvr::HiveStore;
using qvr::KeyId;
using qvr::LONG;

void Require(bool ok, const char* what, LONG code = 0) {
  if (!ok) {
    std::fprintf(stderr, "broken: %s (%d)\n", what, static_cast<int>(code));
    std::abort();
  }
}

bool Expected(LONG code) {
  return code == qvr::ERROR_SUCCESS || code == qvr::ERROR_NO_MORE_ITEMS ||
         code == qvr::ERROR_FILE_NOT_FOUND || code == qvr::ERROR_BADDB ||
         code == qvr::ERROR_NO_SYSTEM_RESOURCES;
}

// Reads keys and values depth first, within a budget of keys.
void Walk(HiveStore& store, KeyId key, int depth, int& budget) {
  if (budget-- <= 0 || depth > 64) return;
  EnumCursor values, keys;
  for (int64_t i = 0; i < 64; ++i) {
    std::string name, data;
    qvr::DWORD type = 0;
    LONG rc = store.EnumValue(key, i, &values, &name, &type, &data);
    Require(Expected(rc), "value listing", rc);
    if (rc != qvr::ERROR_SUCCESS) break;
    rc = store.GetValue(key, name, &type, &data);
    Require(Expected(rc), "value look-up", rc);
  }
  for (int64_t i = 0; i < 64; ++i) {
    std::string name;
    LONG rc = store.EnumChild(key, i, &keys, &name);
    Require(Expected(rc), "key listing", rc);
    if (rc != qvr::ERROR_SUCCESS) break;
    KeyId child = 0;
    rc = store.FindChild(key, name, &child);
    Require(Expected(rc), "key look-up", rc);
    if (rc == qvr::ERROR_SUCCESS) Walk(store, child, depth + 1, budget);
  }
}

const std::string& Folder() {
  static const std::string folder = [] {
    // In memory where there is a tmpfs: every write is synced.
    char pattern[] = "/dev/shm/qvr-hive-fuzz-XXXXXX";
    if (access("/dev/shm", W_OK) != 0) std::memcpy(pattern, "/tmp/qvr-hive-fuzz-XXXXXX", 26);
    Require(mkdtemp(pattern) != nullptr, "temporary folder");
    return std::string(pattern);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/hive";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::unique_ptr<HiveStore> store;
  qvr::Status opened = HiveStore::Open(path, false, &store);
  if (!opened.ok()) {
    Require(opened.code() == qvr::ERROR_NOT_REGISTRY_FILE ||
                opened.code() == qvr::ERROR_REGISTRY_CORRUPT,
            "refusal code", opened.code());
    return 0;
  }
  int budget = 2000;
  Walk(*store, HiveStore::kRoot, 0, budget);
  if (store->ReadOnly()) return 0;
  KeyId child = 0;
  bool created = false;
  LONG rc = store->CreateChild(HiveStore::kRoot, "Fuzz", &child, &created);
  Require(Expected(rc), "create", rc);
  if (rc == qvr::ERROR_SUCCESS) {
    rc = store->SetValue(child, "v", qvr::REG_BINARY, std::string(40, 'x'));
    Require(Expected(rc), "set", rc);
  }
  if (rc == qvr::ERROR_SUCCESS) {
    std::unique_ptr<HiveStore> again;
    qvr::Status reopened = HiveStore::Open(path, true, &again);
    Require(reopened.ok(), "a committed hive opens again");
    std::string value;
    qvr::DWORD type = 0;
    Require(again->FindChild(HiveStore::kRoot, "Fuzz", &child) == qvr::ERROR_SUCCESS &&
                again->GetValue(child, "v", &type, &value) == qvr::ERROR_SUCCESS &&
                value == std::string(40, 'x'),
            "a committed write reads back");
  }
  return 0;
}
