#include "runtime/text_list.h"

namespace dk {

Value TextList::Get(std::size_t i) const {
  const TextView view = View(i);
  switch (view.kind) {
    case TextView::Kind::kAscii:
      return Value::AsciiText(view.bytes());
    case TextView::Kind::kNarrow:
      return Value::NarrowText(view.bytes());
    case TextView::Kind::kWide:
      break;
  }
  return Value::Text(view.wide());
}

}  // namespace dk
