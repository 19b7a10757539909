#include "app/uninstall_sequence.h"

#include "foundation/log_file.h"

BYTE RunUninstall(HINSTANCE, const STRING& rootFolderArgument, bool partial) {
    // The removal steps are not in this build yet: the sequence has nothing
    // to do and so reaches its end.
    Log.Printf("RunUninstall: root folder \"%s\", partial %d: no removal steps yet\r\n",
               rootFolderArgument.c_str(), partial ? 1 : 0);
    return 0;
}
