// The program's entry point.
#include <windows.h>

#include <cstdlib>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return RunProgram(instance, commandLine);
}

// The C++ runtime's own handler for an exception that nothing catches would
// write the exception's demangled type to standard error, which a GUI
// program does not have, and its demangler alone weighs 46 KB. This one
// ends the process as that handler does, without the text.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
