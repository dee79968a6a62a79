// Last-write times of keys, as Windows keeps them: a FILETIME, the count of
// 100-nanosecond intervals since 1601-01-01 UTC, held in an int64_t; 0 means
// the time is not known.
#ifndef QVR_REGISTRY_KEY_TIME_H_
#define QVR_REGISTRY_KEY_TIME_H_

#include <chrono>
#include <cstdint>

namespace qvr {

inline constexpr int64_t kFileTimeTicksPerSecond = 10000000;
// 1970-01-01 00:00 UTC, where Unix times count from, as a FILETIME.
inline constexpr int64_t kFileTimeOfUnixEpoch = 116444736000000000;

// The FILETIME of `seconds` since 1970 (UTC).
inline int64_t FileTimeFromUnixSeconds(int64_t seconds) {
  return seconds * kFileTimeTicksPerSecond + kFileTimeOfUnixEpoch;
}

// Now, from the system clock.
inline int64_t FileTimeNow() {
  using Ticks = std::chrono::duration<int64_t, std::ratio<1, kFileTimeTicksPerSecond>>;
  const auto since_1970 = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<Ticks>(since_1970).count() + kFileTimeOfUnixEpoch;
}

}  // namespace qvr

#endif  // QVR_REGISTRY_KEY_TIME_H_
