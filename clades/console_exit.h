// The end of a command whose options CLI11 reads: help, the version or a usage error,
// shown through the current Env's console.
#ifndef DROPKIT_CLADES_CONSOLE_EXIT_H_
#define DROPKIT_CLADES_CONSOLE_EXIT_H_

namespace CLI {
class App;
class Error;
}  // namespace CLI

namespace dk {

// Shows CLI11's text for `e` on Env::Current()'s console (ConsoleOut and ConsoleErr, as
// CLI11 would use standard output and standard error); returns the exit status CLI11
// gives it.
int ExitThroughConsole(const CLI::App& app, const CLI::Error& e);

}  // namespace dk

#endif  // DROPKIT_CLADES_CONSOLE_EXIT_H_
