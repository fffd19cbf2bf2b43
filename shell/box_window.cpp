#include "shell/box_window.h"

#include "base/errors.h"
#include "gui/graphics.h"

namespace dk {
namespace {

Value Box(const char* tag) {
  const Value h = mlfFindobj(Value::Text("Tag"), Value::Text(tag));
  if (h.empty()) Raise(std::string("No box is tagged ") + tag);
  return h;
}

}  // namespace

Value CreateBoxWindow() {
  const Value fig = CreateFigure({{"Name", Value::Text("Dropkit")}});
  for (const char* tag : {"OutBox", "NumBox", "RepBox", "InitBox"}) {
    CreateControl(fig, "edit", tag);
  }
  return fig;
}

void SetBoxText(const char* tag, const std::string& text) {
  mlfNSet(0, Box(tag), Value::Text("String"), Value::Text(text));
}

std::string BoxText(const char* tag) {
  return mlfNGet(1, Box(tag), Value::Text("String")).utf8();
}

}  // namespace dk
