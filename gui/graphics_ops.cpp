// The graphics operations a program calls: creating and deleting objects, finding them,
// reading and setting their properties and application data, the current figure and
// callback object, file dialogs and message boxes.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "gui/file_filters.h"
#include "gui/graphics.h"
#include "gui/graphics_model.h"
#include "gui/graphics_values.h"
#include "os/env.h"
#include "runtime/ops.h"

namespace dk {

using internal::GraphicsModel;
using internal::Model;

namespace {

// Shows a dialog of `kind` starting in the current folder and waits for the answer, an
// absolute path (a relative answer is taken from the start folder); nullopt on cancel.
std::optional<std::string> AskForPath(FileDialogRequest request, const Value& title,
                                      const char* default_title) {
  if (!title.absent()) {
    if (!title.is_char() && !title.empty()) Raise("The dialog title must be a text");
    request.title = title.utf8();
  } else {
    request.title = default_title;
  }
  if (Env::Current()->CurrentDir(&request.start_folder) != 0) request.start_folder.clear();
  std::optional<std::string> answer = Model().ws().ShowFileDialog(request);
  if (answer && (answer->empty() || (*answer)[0] != '/')) {
    *answer = request.start_folder + "/" + *answer;
  }
  return answer;
}

Value FileDialog(FileDialogKind kind, Value* pathname, const Value& filter, const Value& title) {
  FileDialogRequest request;
  request.kind = kind;
  request.filters = internal::FileFilters(filter);
  request.filter = request.filters.front().patterns;
  const std::optional<std::string> answer =
      AskForPath(std::move(request), title,
                 kind == FileDialogKind::kOpen ? "Select File to Open" : "Select File to Write");
  if (!answer) {
    if (pathname != nullptr) *pathname = Value::Scalar(0);
    return Value::Scalar(0);
  }
  const std::string& path = *answer;
  const std::size_t slash = path.rfind('/');
  if (pathname != nullptr) *pathname = Value::Text(path.substr(0, slash + 1));
  return Value::Text(path.substr(slash + 1));
}

// The lines of a message: the rows of a character array or the texts of a cell.
std::string MessageText(const Value& text) {
  if (text.is_char()) {
    std::string out;
    const std::u16string units = text.units();
    for (std::size_t r = 0; r < text.rows(); ++r) {
      std::u16string row;
      for (std::size_t c = 0; c < text.cols(); ++c) row += units[c * text.rows() + r];
      if (r > 0) out += "\n";
      out += Value::Text(std::u16string_view(row)).utf8();
    }
    return out;
  }
  if (text.is_cell()) {
    std::string out;
    for (std::size_t i = 0; i < text.numel(); ++i) {
      if (i > 0) out += "\n";
      out += MessageText(text.cell(i));
    }
    return out;
  }
  if (text.is_numeric() && text.empty()) return "";
  Raise("msgbox: the message must be a text or a cell array of texts");
}

}  // namespace

// ---- Creation

Value CreateObject(std::string_view type, const Value& parent, const PropertyList& props) {
  return Value::Scalar(Model().Create(type, internal::OneHandle(parent, "create"), props));
}

Value CreateFigure(const PropertyList& props) {
  return CreateObject("figure", Value::Scalar(0), props);
}

Value CreateControl(const Value& parent, std::string_view style, std::string_view tag,
                    std::string_view string, const PropertyList& more) {
  PropertyList props = {
      {"Style", Value::Text(style)}, {"Tag", Value::Text(tag)}, {"String", Value::Text(string)}};
  props.insert(props.end(), more.begin(), more.end());
  return CreateObject("uicontrol", parent, props);
}

void DeleteObject(const Value& h) {
  GraphicsModel& model = Model();
  const std::vector<double> handles = internal::HandlesOf(h);
  for (double one : handles) model.Lookup(one);
  for (double one : handles) {
    if (model.IsLive(one)) model.Delete(one);  // may have gone with an earlier parent
  }
}

// ---- Run-time operations

Value mlfFindobj(const Value& prop, const Value& value) {
  const GraphicsModel& model = Model();
  std::vector<double> candidates;
  model.Walk(model.Lookup(internal::kRoot), /*all=*/false, candidates);
  if (prop.absent() && value.absent()) return Value::Row(candidates);
  const std::string name = internal::NameOf(prop, "findobj: the property name");
  if (value.absent()) Raise("findobj: the property \"" + name + "\" needs a value to match");
  std::vector<double> found;
  for (double h : candidates) {
    const std::optional<Value> held = model.TryGet(h, name);
    if (held && mlfIsequal(*held, value)) found.push_back(h);
  }
  return found.empty() ? Value::Empty() : Value::Row(found);
}

Value mlfFindall(const Value& h) {
  const GraphicsModel& model = Model();
  std::vector<double> out;
  for (double one : internal::HandlesOf(h)) model.Walk(model.Lookup(one), /*all=*/true, out);
  return internal::HandleColumn(out);
}

Value mlfNGet(int /*nargout*/, const Value& h, const Value& name) {
  const GraphicsModel& model = Model();
  const std::vector<double> handles = internal::HandlesOf(h);
  const std::string property = internal::NameOf(name, "get: the property name");
  if (handles.size() == 1) return model.Get(handles[0], property);
  if (handles.empty()) return Value::Empty();
  Value out = Value::Cell(handles.size(), 1);
  for (std::size_t i = 0; i < handles.size(); ++i) {
    out.mutable_cell(i) = model.Get(handles[i], property);
  }
  return out;
}

Value mlfNSet(int /*nargout*/, const Value& h, const Value& name, const Value& value) {
  GraphicsModel& model = Model();
  const std::vector<double> handles = internal::HandlesOf(h);
  const std::string property = internal::NameOf(name, "set: the property name");
  // Check everything before changing anything.
  std::vector<Value> checked;
  for (double one : handles) {
    const internal::Object& o = model.Lookup(one);
    checked.push_back(model.Checked(o, GraphicsModel::Find(o, property), value));
  }
  for (std::size_t i = 0; i < handles.size(); ++i) {
    internal::Object& o = model.Lookup(handles[i]);
    model.Set(o, GraphicsModel::Find(o, property), std::move(checked[i]));
  }
  return Value::Empty();
}

Value mlfGetappdata(const Value& h, const Value& name) {
  const internal::Object& o = Model().Lookup(internal::OneHandle(h, "getappdata"));
  const std::string key = internal::NameOf(name, "getappdata: the name");
  for (const auto& [stored, value] : o.appdata) {
    if (stored == key) return value;
  }
  return Value::Empty();
}

void mlfSetappdata(const Value& h, const Value& name, const Value& value) {
  internal::Object& o = Model().Lookup(internal::OneHandle(h, "setappdata"));
  const std::string key = internal::NameOf(name, "setappdata: the name");
  for (auto& [stored, old] : o.appdata) {
    if (stored == key) {
      old = value;
      return;
    }
  }
  o.appdata.emplace_back(key, value);
}

Value mlfIshandle(const Value& v) {
  if (v.absent()) return Value::Bool(false);
  Value out = Value::LogicalMatrix(v.rows(), v.cols());
  if (!v.is_numeric()) return out;
  const GraphicsModel& model = Model();
  for (std::size_t i = 0; i < v.numel(); ++i) out.set_num(i, model.IsLive(v.num(i)) ? 1 : 0);
  return out;
}

Value mlfGcf() {
  GraphicsModel& model = Model();
  if (!model.HasCurrentFigure()) model.Create("figure", internal::kRoot, {});
  return Value::Scalar(model.CurrentFigure());
}

Value mlfGcbf() {
  const GraphicsModel& model = Model();
  if (model.callbacks().empty()) return Value::Empty();
  const double figure = model.callbacks().back().figure;
  return model.IsLive(figure) && figure != internal::kRoot ? Value::Scalar(figure) : Value::Empty();
}

Value mlfNGcbo(int /*nargout*/) {
  const GraphicsModel& model = Model();
  if (model.callbacks().empty()) return Value::Empty();
  const double object = model.callbacks().back().object;
  return model.IsLive(object) ? Value::Scalar(object) : Value::Empty();
}

Value mlfNFigure(int /*nargout*/, const Value& h) {
  GraphicsModel& model = Model();
  if (h.absent()) return Value::Scalar(model.Create("figure", internal::kRoot, {}));
  const double figure = internal::OneHandle(h, "figure");
  const internal::Object& o = model.Lookup(figure);
  if (o.type != "figure") {
    Raise("figure: handle " + internal::HandleText(figure) + " is a " + o.type + ", not a figure");
  }
  model.MakeCurrent(figure);
  model.ws().RaiseFigure(figure);
  return Value::Scalar(figure);
}

void mlfDrawnow() {
  Model().ws().Flush();
}

Value mlfUigetfile(Value* pathname, const Value& filter, const Value& title) {
  return FileDialog(FileDialogKind::kOpen, pathname, filter, title);
}

Value mlfUiputfile(Value* pathname, const Value& filter, const Value& title) {
  return FileDialog(FileDialogKind::kSave, pathname, filter, title);
}

bool DialogCancelled(const Value& answer) {
  return !answer.is_char() && (answer.is_numeric() || answer.is_logical()) && answer.numel() == 1 &&
         answer.num(0) == 0;
}

Value mlfUigetdir(const Value& title) {
  FileDialogRequest request;
  request.kind = FileDialogKind::kFolder;
  std::optional<std::string> answer = AskForPath(std::move(request), title, "Select a Folder");
  if (!answer) return Value::Scalar(0);
  while (answer->size() > 1 && answer->back() == '/') answer->pop_back();
  return Value::Text(*answer);
}

Value mlfNMsgbox(int /*nargout*/, const Value& text) {
  const std::string message = MessageText(text);
  Model().ws().ShowMessageBox(MessageKind::kPlain, message);
  return Value::Empty();
}

void ShowWarningBox(std::string_view text) {
  Model().ws().ShowMessageBox(MessageKind::kWarning, text);
}

namespace {

std::string& AboutTextInForce() {
  static std::string* text = new std::string;
  return *text;
}

}  // namespace

void SetAboutText(std::string text) {
  AboutTextInForce() = std::move(text);
}

const std::string& AboutText() {
  return AboutTextInForce();
}

}  // namespace dk
