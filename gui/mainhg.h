// The graphics main: sets up the platform libraries and the program's modules, opens
// the program's window through its main function, runs the event loop, and releases
// everything again.
#ifndef DROPKIT_GUI_MAINHG_H_
#define DROPKIT_GUI_MAINHG_H_

#include <memory>

#include "gui/window_system.h"
#include "runtime/callable.h"

namespace dk {

// Runs the program on the window system that MakeWindowSystem (window_system_factory.h)
// builds from the command line, which it receives unchanged. Returns the exit status.
int mclMainhg(int argc, char** argv, MlxFunction main_entry, int flag, const MainInfo& info);

// The same on a given window system (tests script a headless one):
//  1. installs a fresh graphics model on `ws` and `info` as the registry of calls by name,
//     and a callback dispatcher that calls the function a control's "Callback" names;
//  2. calls the initialize routines of info.init_term_table in table order;
//  3. calls main_entry with no inputs and no outputs asked; when no figure is then
//     visible, stops with an error (a window that cannot be seen cannot be closed);
//  4. runs the event loop until the last figure closes;
//  5. calls the terminate routines of the routines initialized, in reverse table order
//     (so the two platform libraries come last), also after an error.
// An error in steps 2 or 3 is reported on standard error and gives status 1. An error
// that ends a callback (running out of memory included) is reported on standard error
// and in an error message box, and the event loop goes on. Returns the event loop's status
// otherwise.
int mclMainhgOn(std::unique_ptr<WindowSystem> ws, MlxFunction main_entry, int flag,
                const MainInfo& info);

// Where the callback argument "handles" comes from: the structure of handles that the
// program's window support keeps on the object's figure. The program installs it (the
// run-time knows no module); with none installed, "handles" is the empty matrix.
// Returns the source it replaces.
using HandlesSource = Value (*)(const Value& object);
HandlesSource SetHandlesSource(HandlesSource source);

// Runs the callback of `object` as a press or an edit would: its "Callback" is a
// function name (called with the object's handle and an empty value) or a cell of the
// name and its arguments, where CallbackArgument values stand for the object, an empty
// value and the handle structure stored on the object's figure. Errors pass to the
// caller.
void RunObjectCallback(double object);

// Called after each callback RunObjectCallback runs, whether it succeeded or raised, so
// that a program can show what the command changed; what it raises is ignored. Returns
// the observer it replaces (nullptr: none).
using CallbackObserver = void (*)();
CallbackObserver SetCallbackObserver(CallbackObserver observer);

// The platform libraries' set-up and release routines, listed in the program's table.
// The file library's release discards any file still open.
void libmmfileInitialize();
void libmmfileTerminate();
void libmwsglmInitialize();
void libmwsglmTerminate();

}  // namespace dk

#endif  // DROPKIT_GUI_MAINHG_H_
