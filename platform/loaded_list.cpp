#include "platform/loaded_list.h"

#include <utility>

#include "platform/errors.h"

namespace dk {
namespace {

LoadedListObserver observer = nullptr;
std::string last_path;
ListSourceReader source_reader = nullptr;

}  // namespace

LoadedListObserver SetLoadedListObserver(LoadedListObserver next) {
  return std::exchange(observer, next);
}

void ReportListLoaded(const LoadedList& list) {
  last_path = list.path;
  if (observer != nullptr) observer(list);
}

ListSourceReader SetListSourceReader(ListSourceReader reader) {
  return std::exchange(source_reader, reader);
}

std::optional<ListSource> ReadListSource(const std::string& path) {
  return source_reader != nullptr ? source_reader(path) : std::nullopt;
}

const std::string& LastLoadedListPath() {
  return last_path;
}

std::string ReplacesNameListMessage(const std::string& list) {
  return "The listing would replace its own name list " + QuoteForMessage(list) +
         ": choose another output file";
}

}  // namespace dk
