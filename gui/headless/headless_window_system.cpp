#include "gui/headless/headless_window_system.h"

#include "base/errors.h"

namespace dk {
std::ostream& operator<<(std::ostream& os, const MessageShown& m) {
  const char* kind = m.kind == MessageKind::kError     ? "error box \""
                     : m.kind == MessageKind::kWarning ? "warning box \""
                                                       : "message box \"";
  return os << kind << m.text << "\"";
}

std::vector<std::string> HeadlessRecord::MessageTexts() const {
  std::vector<std::string> out;
  for (const MessageShown& m : messages) out.push_back(m.text);
  return out;
}

std::vector<Value> HeadlessRecord::SetsOf(double handle, std::string_view property) const {
  std::vector<Value> out;
  for (const PropertySet& set : properties) {
    if (set.handle == handle && SamePropertyName(set.property, property)) out.push_back(set.value);
  }
  return out;
}

void HeadlessWindowSystem::TypeText(double control, std::string_view text) {
  host().UserChanged(control, "String", Value::Text(text));
  host().UserActivated(control);
}

void HeadlessWindowSystem::Press(double control) {
  host().UserActivated(control);
}

void HeadlessWindowSystem::Close(double figure) {
  host().UserClosed(figure);
}

void HeadlessWindowSystem::Place(double handle, std::string_view property, const Rect& pixels) {
  host().UserPlaced(handle, property, pixels);
}

Rect HeadlessWindowSystem::Shown(double handle, std::string_view property) const {
  return host().PixelRect(handle, property);
}

void HeadlessWindowSystem::ObjectCreated(double handle, std::string_view /*type*/,
                                         double /*parent*/) {
  record_->created.push_back(handle);
}

void HeadlessWindowSystem::PropertyChanged(double handle, std::string_view property,
                                           const Value& value) {
  record_->properties.push_back({handle, std::string(property), value});
}

std::optional<std::string> HeadlessWindowSystem::ShowFileDialog(const FileDialogRequest& request) {
  DialogShown shown{request, std::nullopt, !answers_.empty()};
  if (shown.scripted) {
    shown.answer = std::move(answers_.front());
    answers_.pop_front();
  } else {
    ++record_->unscripted_dialogs;
  }
  record_->dialogs.push_back(shown);
  return shown.answer;
}

void HeadlessWindowSystem::ShowMessageBox(MessageKind kind, std::string_view text) {
  record_->messages.push_back({kind, std::string(text)});
}

int HeadlessWindowSystem::RunEventLoop() {
  while (!script_.empty() && !host().Figures().empty()) {
    const UserAction action = std::move(script_.front());
    script_.pop_front();
    const double target = Target(action);
    switch (action.kind) {
      case UserAction::Kind::kType:
        TypeText(target, action.text);
        break;
      case UserAction::Kind::kPress:
        Press(target);
        break;
      case UserAction::Kind::kClose:
        Close(target);
        break;
    }
  }
  return 0;
}

GraphicsHost& HeadlessWindowSystem::host() const {
  if (host_ == nullptr) Raise("The headless window system serves no graphics model");
  return *host_;
}

double HeadlessWindowSystem::Target(const UserAction& action) const {
  if (action.tag.empty()) {
    const Value current = host().Get(0, "CurrentFigure");
    if (current.empty()) Raise("Headless script: no current figure to act on");
    return current.num(0);
  }
  for (double h : host().Descendants(0)) {
    if (host().Get(h, "Tag").utf8() == action.tag) return h;
  }
  Raise("Headless script: no object is tagged \"" + action.tag + "\"");
}

void HeadlessWindowSystem::BeginProgress(std::string_view title, double total) {
  record_->progress.push_back({std::string(title), total, {}, false});
}

bool HeadlessWindowSystem::UpdateProgress(double done) {
  if (record_->progress.empty()) return true;
  auto& steps = record_->progress.back().steps;
  steps.push_back(done);
  return cancel_after_ < 0 || static_cast<int>(steps.size()) < cancel_after_;
}

void HeadlessWindowSystem::EndProgress() {
  if (!record_->progress.empty()) record_->progress.back().ended = true;
}

}  // namespace dk
