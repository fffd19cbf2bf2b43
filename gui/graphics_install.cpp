// Installing the graphics model: the one installed model (ScopedGraphics), the event
// loop, the callback hook and the scopes that mark running callbacks and long work.
#include <utility>

#include "base/errors.h"
#include "gui/graphics.h"
#include "gui/graphics_model.h"

namespace dk {
namespace internal {
namespace {

GraphicsModel* g_model = nullptr;

}  // namespace

GraphicsModel* InstalledModel() {
  return g_model;
}

GraphicsModel& Model() {
  if (g_model == nullptr) Raise("Graphics are not available: no window system is installed");
  return *g_model;
}

CallbackHook& Hook() {
  static CallbackHook hook;
  return hook;
}

}  // namespace internal

using internal::g_model;
using internal::GraphicsModel;

ScopedGraphics::ScopedGraphics(std::unique_ptr<WindowSystem> ws)
    : model_(std::make_unique<GraphicsModel>(std::move(ws))),
      previous_(std::exchange(g_model, model_.get())),
      previous_test_(SetHandleTest(&mlfIshandle)) {}

ScopedGraphics::~ScopedGraphics() {
  SetHandleTest(previous_test_);
  g_model = previous_;
}

WindowSystem& ScopedGraphics::window_system() const {
  return model_->ws();
}

bool GraphicsInstalled() {
  return g_model != nullptr;
}

int RunEventLoop() {
  return internal::Model().ws().RunEventLoop();
}

CallbackHook SetCallbackHook(CallbackHook hook) {
  return std::exchange(internal::Hook(), std::move(hook));
}

CallbackScope::CallbackScope(double object) : model_(&internal::Model()) {
  model_->PushCallback(object);
}

CallbackScope::~CallbackScope() {
  model_->PopCallback();
}

ProgressScope::ProgressScope(std::string_view title, double total)
    : ws_(g_model != nullptr ? &g_model->ws() : nullptr), title_(title) {
  if (ws_ != nullptr) ws_->BeginProgress(title_, total);
}

ProgressScope::~ProgressScope() {
  if (ws_ != nullptr) ws_->EndProgress();
}

void ProgressScope::Step(double done) {
  if (ws_ != nullptr && !ws_->UpdateProgress(done)) throw Cancelled(title_ + " cancelled.");
}

}  // namespace dk
