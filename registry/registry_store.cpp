#include "registry/registry_store.h"

#include <algorithm>
#include <vector>

#include "base/unicode.h"

namespace qvr {
namespace {

// Reports the key `id` and its values; kWalkPrune when the visitor wants
// neither its values nor its sub-keys.
LONG VisitKey(RegistryStore& store, StoreWalkVisitor& visitor, int depth, KeyId id,
              std::string_view name) {
  LONG rc = visitor.Key(depth, id, name);
  if (rc != ERROR_SUCCESS) return rc;
  EnumCursor cursor;
  std::string value_name, data;
  DWORD type = 0;
  for (int64_t i = 0; (rc = store.EnumValue(id, i, &cursor, &value_name, &type, &data)) ==
                      ERROR_SUCCESS;
       ++i) {
    if (LONG stop = visitor.Value(value_name, type, data); stop != ERROR_SUCCESS) return stop;
  }
  return rc == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : rc;
}

}  // namespace

LONG RegistryStore::Walk(KeyId top, StoreWalkVisitor& visitor) {
  // One entry per open level: the key and where its listing stands. The
  // cursor continues after the last name listed, so each level costs one
  // step per sub-key whatever happens to its siblings meanwhile.
  struct Level {
    KeyId id = 0;
    int64_t next = 0;
    EnumCursor cursor;
  };
  LONG rc = VisitKey(*this, visitor, 0, top, "");
  if (rc == kWalkPrune) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<Level> stack(1);
  stack[0].id = top;
  std::string name;
  while (!stack.empty()) {
    Level& level = stack.back();
    rc = EnumChild(level.id, level.next, &level.cursor, &name);
    if (rc == ERROR_NO_MORE_ITEMS) {
      stack.pop_back();
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    ++level.next;
    KeyId child = 0;
    rc = FindChild(level.id, name, &child);
    if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted since it was listed
    if (rc != ERROR_SUCCESS) return rc;
    rc = VisitKey(*this, visitor, static_cast<int>(stack.size()), child, name);
    if (rc == kWalkPrune) continue;
    if (rc != ERROR_SUCCESS) return rc;
    stack.emplace_back();
    stack.back().id = child;
  }
  return ERROR_SUCCESS;
}

LONG RegistryStore::QueryInfo(KeyId key, KeyInfo* info) {
  *info = KeyInfo();
  EnumCursor keys, values;
  std::string name, data;
  DWORD type = 0;
  LONG rc;
  for (int64_t i = 0; (rc = EnumChild(key, i, &keys, &name)) == ERROR_SUCCESS; ++i) {
    ++info->sub_keys;
    info->max_sub_key_len = std::max(info->max_sub_key_len, static_cast<DWORD>(Utf8ToUtf16(name).size()));
  }
  if (rc != ERROR_NO_MORE_ITEMS) return rc;
  for (int64_t i = 0; (rc = EnumValue(key, i, &values, &name, &type, &data)) == ERROR_SUCCESS; ++i) {
    ++info->values;
    info->max_value_name_len =
        std::max(info->max_value_name_len, static_cast<DWORD>(Utf8ToUtf16(name).size()));
    info->max_value_len = std::max(info->max_value_len, static_cast<DWORD>(data.size()));
  }
  return rc == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : rc;
}

}  // namespace qvr
