#include "testkit/program_run.h"

std::string ProductPath() {
    return ParentFolder(ThisProgramFolder()) + "\\Orvalith Uninstall.exe";
}
