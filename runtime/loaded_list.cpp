#include "runtime/loaded_list.h"

#include <utility>

#include "os/files.h"

namespace dk {
namespace {

LoadedListObserver observer = nullptr;
ListSourceReader source_reader = nullptr;

}  // namespace

LoadedListObserver SetLoadedListObserver(LoadedListObserver next) {
  return std::exchange(observer, next);
}

void ReportListLoaded(const LoadedList& list) {
  SetProtectedInput(list.path);
  if (observer != nullptr) observer(list);
}

ListSourceReader SetListSourceReader(ListSourceReader reader) {
  return std::exchange(source_reader, reader);
}

std::optional<ListSource> ReadListSource(const std::string& path) {
  return source_reader != nullptr ? source_reader(path) : std::nullopt;
}

const std::string& LastLoadedListPath() {
  return ProtectedInput();
}

}  // namespace dk
