// How the fixture learns that it should end: a termination request (SIGTERM or Ctrl+C on
// POSIX, a console Ctrl+C, Ctrl+Break or close on Windows) or, when watched, the end of its
// standard input.
#pragma once

namespace vrk_test {

// Installs the handlers; call before anything else can be asked to end.
bool PrepareForTheEnd();
// Returns once a termination request has come or the watched input has ended.
void WaitForTheEnd(bool watchInput);

}  // namespace vrk_test
