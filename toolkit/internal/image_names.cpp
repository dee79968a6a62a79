#include "toolkit/internal/image_names.h"

#include <deque>
#include <mutex>
#include <unordered_map>

#include "automation/automation_error.h"

namespace qvr::toolkit::internal {
namespace {

struct Pool {
  std::mutex mutex;
  std::deque<std::string> names{std::string()};  // a deque keeps references valid
  std::unordered_map<std::string, uint16_t> numbers{{std::string(), 0}};
};

Pool& ThePool() {
  static Pool* pool = new Pool;  // never destroyed: nodes may outlive static teardown
  return *pool;
}

}  // namespace

uint16_t ImageNames::Number(std::string_view name) {
  if (name.empty()) return 0;
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  auto it = pool.numbers.find(std::string(name));
  if (it != pool.numbers.end()) return it->second;
  if (pool.names.size() > 0xFFFF) throw AutomationError(7, "ImageList", "Out of memory");
  auto number = static_cast<uint16_t>(pool.names.size());
  pool.names.emplace_back(name);
  pool.numbers.emplace(std::string(name), number);
  return number;
}

const std::string& ImageNames::Name(uint16_t number) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  return number < pool.names.size() ? pool.names[number] : pool.names[0];
}

}  // namespace qvr::toolkit::internal
