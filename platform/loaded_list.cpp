#include "platform/loaded_list.h"

#include <utility>

namespace dk {
namespace {

LoadedListObserver observer = nullptr;

}  // namespace

LoadedListObserver SetLoadedListObserver(LoadedListObserver next) {
  return std::exchange(observer, next);
}

void ReportListLoaded(const LoadedList& list) {
  if (observer != nullptr) observer(list);
}

}  // namespace dk
