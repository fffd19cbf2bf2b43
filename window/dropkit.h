// The main window function `Dropkit`. Called without inputs it opens the tool's window
// from the figure file "Dropkit" (reusing an open one), gives it the default control
// background colour and stores the structure of its control handles on it. Called
// with a function name first, it calls that function with the other inputs and hands
// back its outputs, showing the text of any error on the console instead of raising it.
// Its four local callbacks only say that they are not implemented yet. The label tagged
// "SeedInForce" says which seed the generator runs from.
#ifndef DROPKIT_WINDOW_DROPKIT_H_
#define DROPKIT_WINDOW_DROPKIT_H_

#include <vector>

#include "frame/frame.h"
#include "runtime/callable.h"
#include "runtime/value.h"

namespace dk {

void InitializeModule_Dropkit();
void TerminateModule_Dropkit();

// Puts the seed the generator runs from (random/random.h SeedInForce) into the label
// tagged "SeedInForce" of every open window: "Seed in force: 42", or "Seed in force:
// none (a fresh draw each time)". Does nothing while the module is not set up, without
// graphics or without such a label. The window calls it when it opens, and the program
// after every restart of the generator.
void ShowSeedInForce();

// Array-vector entry: any number of inputs and outputs.
void mlxDropkit(int nlhs, Value plhs[], int nrhs, Value prhs[]);
// Direct entries: the tail values; outputs 2.. go through `outputs`. mlfNDropkit asks
// for nargout outputs plus one per slot of `outputs`; mlfVDropkit asks for none.
Value mlfDropkit(const OutputList& outputs, std::vector<Value> tail);
Value mlfNDropkit(int nargout, const OutputList& outputs, std::vector<Value> tail);
void mlfVDropkit(std::vector<Value> tail);

// The four callbacks: the callback object, an event data value, the handle structure,
// then any number of further inputs; any number of outputs, none ever assigned.
// The bodies of the four placeholder callbacks: nargout, the callback object, the event
// data, the handle structure and the tail of further inputs. Each shows its message
// ("OutBox Callback not implemented yet." and so on) and returns the cell of its
// outputs, which is empty.
Value MDropkit_OutBox_Callback(int nargout, const Value& h, const Value& eventdata,
                               const Value& handles, const Value& varargin);
Value MDropkit_NumBox_Callback(int nargout, const Value& h, const Value& eventdata,
                               const Value& handles, const Value& varargin);
Value MDropkit_RepBox_Callback(int nargout, const Value& h, const Value& eventdata,
                               const Value& handles, const Value& varargin);
Value MDropkit_InitBox_Callback(int nargout, const Value& h, const Value& eventdata,
                                const Value& handles, const Value& varargin);

void mlxDropkit_OutBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]);
void mlxDropkit_NumBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]);
void mlxDropkit_RepBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]);
void mlxDropkit_InitBox_Callback(int nlhs, Value plhs[], int nrhs, Value prhs[]);
Value mlfDropkit_OutBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                 const Value& handles, std::vector<Value> tail);
Value mlfDropkit_NumBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                 const Value& handles, std::vector<Value> tail);
Value mlfDropkit_RepBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                 const Value& handles, std::vector<Value> tail);
Value mlfDropkit_InitBox_Callback(const OutputList& outputs, const Value& h, const Value& eventdata,
                                  const Value& handles, std::vector<Value> tail);

extern const LocalFunctionTable local_function_table_Dropkit;

}  // namespace dk

#endif  // DROPKIT_WINDOW_DROPKIT_H_
