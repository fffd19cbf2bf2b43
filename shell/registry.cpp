#include "shell/registry.h"

#include "export/export.h"
#include "figsupport/guidata.h"
#include "figsupport/guihandles.h"
#include "figsupport/iskeyword.h"
#include "figsupport/isvarname.h"
#include "figsupport/movegui.h"
#include "figsupport/openfig.h"
#include "generator/randlist.h"
#include "gui/graphics.h"
#include "gui/mainhg.h"
#include "random/random.h"
#include "review/list_review.h"
#include "runtime/loaded_list.h"
#include "runtime/paths.h"
#include "survival/survival.h"
#include "window/dropkit.h"

#ifndef DROPKIT_VERSION
#error "DROPKIT_VERSION must name the program's version"
#endif

namespace dk {

const FunctionTableRow function_table[10] = {
    {"Dropkit", mlxDropkit, -1, -1, &local_function_table_Dropkit},
    {"randlist", mlxRandlist, 1, 0, &local_function_table_randlist},
    {"guidata", mlxGuidata, 2, 1, &local_function_table_guidata},
    {"guihandles", mlxGuihandles, 1, 1, &local_function_table_guihandles},
    {"openfig", mlxOpenfig, 2, 1, &local_function_table_openfig},
    {"isvarname", mlxIsvarname, 1, 1, &local_function_table_isvarname},
    {"movegui", mlxMovegui, -1, 0, &local_function_table_movegui},
    {"iskeyword", mlxIskeyword, 1, 1, &local_function_table_iskeyword},
    {"export", mlxExport, 1, 0, &local_function_table_export},
    {"survival", mlxSurvival, 0, 0, &local_function_table_survival},
};

const InitTermPair init_term_table[12] = {
    {libmmfileInitialize, libmmfileTerminate},
    {libmwsglmInitialize, libmwsglmTerminate},
    {InitializeModule_Dropkit, TerminateModule_Dropkit},
    {InitializeModule_randlist, TerminateModule_randlist},
    {InitializeModule_guidata, TerminateModule_guidata},
    {InitializeModule_guihandles, TerminateModule_guihandles},
    {InitializeModule_openfig, TerminateModule_openfig},
    {InitializeModule_isvarname, TerminateModule_isvarname},
    {InitializeModule_movegui, TerminateModule_movegui},
    {InitializeModule_iskeyword, TerminateModule_iskeyword},
    {InitializeModule_export, TerminateModule_export},
    {InitializeModule_survival, TerminateModule_survival},
};

const MainInfo main_info = {1, 10, function_table, 0, nullptr, 0, nullptr, 12, init_term_table};

namespace {

Value HandlesFromGuidata(const Value& object) {
  return mlfGuidata(object, Value());
}

}  // namespace

void ReviewLoadedList(const LoadedList& list) {
  ListReview review = ReviewList(list);
  const std::string findings = FindingsText(review.list.path, review.findings);
  SetLoadedListReview(std::move(review));
  if (!findings.empty()) ShowWarningBox(findings);
}

std::string AboutDropkit() {
  const std::string docs = DocsFolder();
  return std::string("Dropkit ") + DROPKIT_VERSION +
         "\n\nRandomized omission lists for taxon-jackknife analyses.\n\nHow to use it: " +
         (docs.empty() ? std::string("README.md and the docs folder of Dropkit's sources.")
                       : "README.md and the docs folder in " + docs + ".");
}

void InstallProgramHooks() {
  SetHandlesSource(HandlesFromGuidata);
  SetLoadedListObserver(ReviewLoadedList);
  SetRestartObserver(ShowSeedInForce);
  SetCallbackObserver(ShowSeedInForce);
}

namespace {

// Installed before main runs, wherever the program's record is linked in.
const bool kHooksInstalled = (InstallProgramHooks(), true);

}  // namespace

}  // namespace dk
