#include "app/all_users.h"

#include <shlobj.h>
#include <vector>

#include "app/uninstall_sequence.h"
#include "app/user_sessions.h"
#include "foundation/log_file.h"
#include "foundation/owned_handle.h"
#include "foundation/registry.h"
#include "system/system_info.h"

const char* const ACTIVE_SETUP_KEY = "Software\\Microsoft\\Active Setup\\Installed "
                                     "Components\\{5B7D2E91-0C3A-4F6E-9D18-A2C4E6F80B13}";
const char* const ACTIVE_SETUP_VERSION = "1,0,0,0";

namespace {

const char* const KEPT_FOLDER = "Brindlecove";
const char* const KEPT_SUBFOLDER = "Orvalith Uninstall";
const char* const KEPT_FILE = "Orvalith Uninstall.exe";

STRING ThisProgram() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    return length == 0 || length >= sizeof(path) ? STRING() : STRING(path);
}

STRING Quoted(const STRING& path) {
    return "\"" + path + "\"";
}

// Copies this program where every user can start it; true when it is there.
bool KeepCopy(const STRING& copy) {
    STRING self = ThisProgram();
    if (self.IsBlank() || copy.IsBlank())
        return false;
    if (lstrcmpiA(self.c_str(), copy.c_str()) == 0)
        return true;
    STRING folder = copy.substr(0, copy.find_last_of('\\'));
    CreateDirectoryA(folder.substr(0, folder.find_last_of('\\')).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    return CopyFileA(self.c_str(), copy.c_str(), FALSE) != FALSE;
}

bool WriteActiveSetupEntry(const STRING& copy) {
    REG_KEY entry;
    return entry.Open(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY, REG_MODE_WRITE) &&
           entry.WriteString("", "Orvalith Uninstall") &&
           entry.WriteString("StubPath", Quoted(copy) + " /Logon") &&
           entry.WriteString("Version", ACTIVE_SETUP_VERSION) && entry.WriteDword("IsInstalled", 1);
}

// The user's part in each signed-in session; false when one failed. A user
// whose Outlook runs is left for the next logon.
bool HandOverToSignedInUsers(const STRING& copy) {
    bool allWell = true;
    VECTOR<DWORD> sessions = SignedInSessions();
    Log.Printf("All users: %d signed-in sessions\r\n", static_cast<int>(sessions.size()));
    for (DWORD session : sessions) {
        SESSION_RUN run = RunInSession(session, Quoted(copy) + " /User", USER_PART_LIMIT_MS);
        if (!run.started) {
            Log.Printf("All users: session %lu: the user's part was not started (error %lu); it "
                       "runs at the user's next logon\r\n",
                       session, run.error);
        } else if (!run.ended) {
            Log.Printf("All users: session %lu: the user's part still runs after %lu minutes; it "
                       "is left alone\r\n",
                       session, USER_PART_LIMIT_MS / 60000);
            allWell = false;
        } else if (run.exitCode == EXIT_COMPLETE) {
            Log.Printf("All users: session %lu: the user's part is done\r\n", session);
        } else if (run.exitCode == EXIT_OUTLOOK_RUNNING) {
            Log.Printf("All users: session %lu: Outlook is running; the user's part runs at the "
                       "user's next logon\r\n",
                       session);
        } else {
            Log.Printf("All users: session %lu: the user's part failed, exit code %lu; it runs "
                       "again at the user's next logon\r\n",
                       session, run.exitCode);
            allWell = false;
        }
    }
    return allWell;
}

} // namespace

STRING KeptCopyPath() {
    // Found through the shell: a user's environment block may name another
    // folder than the one programs see.
    STRING common = GetSpecialFolderPath(nullptr, CSIDL_COMMON_APPDATA).path;
    if (common.IsBlank())
        return STRING();
    return common.WithTrailingBackslash() + KEPT_FOLDER + "\\" + KEPT_SUBFOLDER + "\\" + KEPT_FILE;
}

EXIT_CODE RunForAllUsers(HINSTANCE instance, const STRING& rootFolder, const RUN_MODE& mode) {
    bool usersWell = true;
    STRING copy = KeptCopyPath();
    if (KeepCopy(copy) && WriteActiveSetupEntry(copy)) {
        Log.Printf("All users: each user's part runs from \"%s\" through Active Setup \"%s\"\r\n",
                   copy.c_str(), ACTIVE_SETUP_KEY);
        usersWell = HandOverToSignedInUsers(copy);
    } else {
        Log.Printf("All users: the copy \"%s\" or the Active Setup entry could not be made: no "
                   "user's part will run\r\n",
                   copy.c_str());
        usersWell = false;
    }

    UNINSTALL_RESULT outcome = RunUninstall(instance, rootFolder, mode);
    if (!outcome.completed || outcome.filesLeft || !usersWell)
        return EXIT_ABANDONED;
    return outcome.queuedForRestart > 0 ? EXIT_RESTART_NEEDED : EXIT_COMPLETE;
}

void RecordUserPart(bool finished) {
    STRING version = ReadStringAt(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY, "Version");
    if (version.IsBlank())
        return;
    if (finished)
        WriteStringAt(HKEY_CURRENT_USER, ACTIVE_SETUP_KEY, "Version", version);
    else
        DeleteValueAt(HKEY_CURRENT_USER, ACTIVE_SETUP_KEY, "Version");
    Log.Printf("All users: this user's part is %s\r\n",
               finished ? "done" : "left for the next logon");
}

bool StartUserPartInBackground() {
    STRING self = ThisProgram();
    if (self.IsBlank())
        return false;
    STRING commandLine = Quoted(self) + " /User";
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    OWNED_HANDLE thread(process.hThread);
    OWNED_HANDLE child(process.hProcess);
    return true;
}
