#include "gui/mainhg.h"

#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "gui/graphics.h"
#include "gui/window_system_factory.h"
#include "os/env.h"
#include "random/random.h"
#include "runtime/file_table.h"
#include "runtime/text.h"

namespace dk {
namespace {

// A short name of an object for messages: its Tag, else its type and handle.
std::string Describe(double object) {
  try {
    const Value h = Value::Scalar(object);
    const std::string tag = mlfNGet(1, h, Value::Text("Tag")).utf8();
    if (!tag.empty()) return EscapeForMessage(tag);
    return mlfNGet(1, h, Value::Text("Type")).utf8() + " " + FormatNumber(object);
  } catch (const std::exception&) {
    return "object " + FormatNumber(object);
  }
}

// Runs a callback; an error that ends it is reported, and the event loop goes on.
void DispatchReportingErrors(WindowSystem& ws, double object) {
  std::string message;
  try {
    RunObjectCallback(object);
    return;
  } catch (const Cancelled& e) {  // the user's choice, not an error: said on the console only
    Env::Current()->ConsoleErr(std::string(e.what()) + "\n");
    return;
  } catch (const std::bad_alloc&) {
    message = "Out of memory while running the callback of " + Describe(object) +
              "; nothing it was doing was kept.";
  } catch (const std::exception& e) {
    message = e.what();
  }
  SetLastError(message);
  Env::Current()->ConsoleErr("Error in the callback of " + Describe(object) + ": " + message +
                             "\n");
  ws.ShowMessageBox(MessageKind::kError, message);
}

// True when some figure can be seen: without one, a person could neither use nor close
// the program.
bool AnyFigureVisible() {
  const Value figures = mlfFindall(Value::Scalar(0));
  for (std::size_t i = 0; i < figures.numel(); ++i) {
    const Value h = Value::Scalar(figures.num(i));
    if (mlfNGet(1, h, Value::Text("Type")).utf8() == "figure" &&
        mlfNGet(1, h, Value::Text("Visible")).utf8() == "on") {
      return true;
    }
  }
  return false;
}

HandlesSource handles_source = nullptr;
CallbackObserver callback_observer = nullptr;

// Tells the observer that a callback ended, however it ended.
struct CallbackEnd {
  ~CallbackEnd() {
    if (callback_observer == nullptr) return;
    try {
      callback_observer();
    } catch (...) {  // a display never turns a command into a failure, nor hides one
    }
  }
};

}  // namespace

HandlesSource SetHandlesSource(HandlesSource source) {
  return std::exchange(handles_source, source);
}

namespace {
void RunCallbackOf(double object);
}  // namespace

CallbackObserver SetCallbackObserver(CallbackObserver observer) {
  return std::exchange(callback_observer, observer);
}

void RunObjectCallback(double object) {
  const CallbackEnd end;  // after the draws of a cancelled command are undone
  const RandomSnapshot before = SnapshotRandom();
  try {
    RunCallbackOf(object);
  } catch (const Cancelled&) {
    RestoreRandom(before);  // a cancelled command uses up no draws
    throw;
  }
}

namespace {

void RunCallbackOf(double object) {
  const Value h = Value::Scalar(object);
  const Value callback = mlfNGet(1, h, Value::Text("Callback"));
  if (callback.empty()) return;
  if (callback.is_char()) {
    mlfFeval(0, callback, {h, Value::Empty()});
    return;
  }
  if (!callback.is_cell() || !callback.cell(0).is_char()) {
    Raise("The callback of " + Describe(object) +
          " must be a function name or a cell of a function name and its arguments");
  }
  std::vector<Value> args;
  for (std::size_t i = 1; i < callback.numel(); ++i) {
    const Value& arg = callback.cell(i);
    const std::string kind = CallbackArgumentKind(arg);
    if (kind == "object") {
      args.push_back(h);
    } else if (kind == "empty") {
      args.push_back(Value::Empty());
    } else if (kind == "handles") {
      args.push_back(handles_source != nullptr ? handles_source(h) : Value::Empty());
    } else if (!kind.empty()) {
      Raise("The callback of " + Describe(object) + " has an unknown argument \"" +
            EscapeForMessage(kind) + "\"");
    } else {
      args.push_back(arg);
    }
  }
  mlfFeval(0, callback.cell(0), std::move(args));
}

}  // namespace

int mclMainhg(int argc, char** argv, MlxFunction main_entry, int flag, const MainInfo& info) {
  return mclMainhgOn(MakeWindowSystem(argc, argv), main_entry, flag, info);
}

int mclMainhgOn(std::unique_ptr<WindowSystem> ws, MlxFunction main_entry, int /*flag*/,
                const MainInfo& info) {
  WindowSystem& window_system = *ws;
  ScopedGraphics graphics(std::move(ws));
  ScopedRegistry registry(&info);
  const CallbackHook previous_hook = SetCallbackHook(
      [&window_system](double object) { DispatchReportingErrors(window_system, object); });
  int initialized = 0;
  int status = 0;
  try {
    for (; initialized < info.init_term_count; ++initialized) {
      info.init_term_table[initialized].initialize();
    }
    Value outputs[1];
    main_entry(0, outputs, 0, nullptr);
    if (!AnyFigureVisible()) {
      Raise(
          "The program opened no visible window (its figure file sets \"Visible\" to "
          "\"off\"), so it could be neither used nor closed; it stops instead.");
    }
    status = RunEventLoop();
  } catch (const std::exception& e) {
    Env::Current()->ConsoleErr(std::string("dropkit: ") + e.what() + "\n");
    status = 1;
  }
  while (initialized > 0) info.init_term_table[--initialized].terminate();
  SetCallbackHook(previous_hook);
  return status;
}

void libmmfileInitialize() {
  NotifyModuleEvent("file library", -1, true);
}

void libmmfileTerminate() {
  DiscardAllFiles();
  NotifyModuleEvent("file library", -1, false);
}

void libmwsglmInitialize() {
  NotifyModuleEvent("graphics library", -1, true);
}

void libmwsglmTerminate() {
  NotifyModuleEvent("graphics library", -1, false);
}

}  // namespace dk
