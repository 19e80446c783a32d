// Running the project's programs from a Wine test: a Windows program of the
// build (beside the test program, e.g. labelhost.exe) with its output
// captured, and a Unix command through Z:\bin\sh (e.g. the simulator's
// renderer).
#pragma once

#include <windows.h>

#include <string>

namespace veldrin_test {

// The path of a program in this test program's folder.
std::string BuildProgramPath(const std::string& name);

// Runs `commandLine` with stdout and stderr going to `outputFile`, waits for
// it (at most `timeoutMs`), and returns its exit code (-1 if it could not be
// run); *output receives what it printed.
int RunProgram(const std::string& commandLine, const std::string& outputFile, std::string* output,
               DWORD timeoutMs = 60000);

// Runs a Unix shell command and waits until it ends. Its exit status does not
// reach Windows; check what it made instead. False if it could not be run.
bool RunUnixCommand(const std::string& command, DWORD timeoutMs = 60000);

} // namespace veldrin_test
