#include "alignment/row_set.h"

#include <algorithm>

namespace dk {

void RowSet::AddOwn(std::string row) {
  rows_.push_back({own_.size(), row.size(), true});
  own_.push_back(std::move(row));
}

void RowSet::ReleaseUnusedText() {
  if (std::all_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.own; })) {
    std::string().swap(text_);
  }
}

}  // namespace dk
