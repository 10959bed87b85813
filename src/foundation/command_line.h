// The program's command line as UTF-8, and a console that shows UTF-8 output as written.
#pragma once

#include <string>
#include <vector>

namespace tvx {

// The arguments after the program's name, as UTF-8. On Windows they are read as UTF-16 from the
// system's command line, because `argv` there is in the ANSI code page and loses every character
// outside it; elsewhere `argv` already holds the bytes the user typed.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Lets a console show the UTF-8 lines the program writes (a no-op where that is already so).
void UseUtf8Console();

}  // namespace tvx
