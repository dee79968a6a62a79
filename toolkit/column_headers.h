// ColumnHeaders: the columns of a ListView, numbered from 1.
//
// Errors: 35600 for a position that is not a column, 35601 for a key that
// names none, 35602 for a key already used.
#ifndef QVR_TOOLKIT_COLUMN_HEADERS_H_
#define QVR_TOOLKIT_COLUMN_HEADERS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/column_header.h"

namespace qvr::toolkit {

class ColumnHeaders {
 public:
  // `changed` is told after any column is added, removed or changed.
  explicit ColumnHeaders(std::function<void()> changed) : changed_(std::move(changed)) {}

  int32_t Count() const { return static_cast<int32_t>(columns_.size()); }
  // Adds a column at the end (Index 0) or before position Index.
  ColumnHeader& Add(int32_t Index = 0, std::string_view Key = {}, std::string_view Text = {},
                    float Width = 1440);
  ColumnHeader& Item(int32_t Index);
  const ColumnHeader& Item(int32_t Index) const;
  ColumnHeader& Item(std::string_view Key);
  void Remove(int32_t Index);
  void Clear();

 private:
  void Renumber();

  std::vector<std::unique_ptr<ColumnHeader>> columns_;
  std::function<void()> changed_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_COLUMN_HEADERS_H_
