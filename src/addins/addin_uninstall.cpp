#include "addins/addin_uninstall.h"

#include <cstring>
#include <shellapi.h>

#include "addins/clickonce_store.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/registry.h"
#include "system/launch.h"
#include "system/pause.h"

const char* const UNINSTALL_ENTRIES_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

const int IDS_ADDIN_UNINSTALL_FAILED = 56;
const int IDS_ADDIN_UNINSTALL_CANCELLED = 63;

const char* const EXE_EXTENSION = ".exe";
const char* const UNINSTALL_VALUE = "UninstallString";
// The add-in runtime's installer, which uninstalls click-once add-ins, and
// its switch for a run without windows.
const char* const ADDIN_INSTALLER = "VSTOInstaller.exe";
const char* const SILENT_SWITCH = "/Silent";

// The subkey name of the first entry whose display name is displayName in
// any case; empty when none.
STRING FindUninstallEntry(const STRING& displayName) {
    return FindSubkeyByValue(HKEY_CURRENT_USER, UNINSTALL_ENTRIES_KEY, "DisplayName", displayName,
                             MATCH_EQUALS, true);
}

// Whether the entry at entryKeyPath under root is displayName's, compared as
// FindUninstallEntry compares: a machine-wide entry of the same key name may
// belong to another product, whose uninstaller must not run.
bool IsEntryOf(HKEY root, const STRING& entryKeyPath, const STRING& displayName) {
    int slash = entryKeyPath.FindLastSeparator();
    if (slash < 0)
        return false;
    STRING_VECTOR entries;
    FindSubkeysByValue(entries, root, entryKeyPath.Left(slash).c_str(), "DisplayName", displayName,
                       MATCH_EQUALS, true, true);
    return entries.IndexOf(entryKeyPath.From(slash + 1)) >= 0;
}

// The entry's command under root; one stored as REG_EXPAND_SZ with its
// variables expanded, as the control panel would.
STRING ReadUninstallCommand(HKEY root, const STRING& entryKeyPath) {
    REG_KEY key;
    if (!key.Open(root, entryKeyPath.c_str(), REG_MODE_READ))
        return STRING();
    STRING command = key.ReadString(UNINSTALL_VALUE);
    DWORD type = REG_SZ, size = 0;
    if (command.empty() || !key.QueryValueInfo(UNINSTALL_VALUE, type, size) ||
        type != REG_EXPAND_SZ)
        return command;
    char expanded[4 * MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(command.c_str(), expanded, sizeof(expanded));
    return length == 0 || length > sizeof(expanded) ? command : STRING(expanded);
}

bool EndsWithExe(const STRING& text) {
    return text.Match(EXE_EXTENSION, MATCH_ENDS, true);
}

bool IsExistingFile(const STRING& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The program an unstartable command names, to tell the user: its first
// text ending in ".exe" at a space or a tab, else the whole command.
STRING NamedProgram(const STRING& command) {
    STRING text = command;
    text.Trim(' ');
    for (size_t end = text.find_first_of(" \t"); end != STRING::npos;
         end = text.find_first_of(" \t", end + 1)) {
        if (EndsWithExe(text.Left(static_cast<int>(end))))
            return text.Left(static_cast<int>(end));
    }
    return text;
}

// Starts the command and waits for it: a quiet run only so long, since nobody
// may be there to answer the command's windows. A command that names no
// program is not started, and is told as one that could not be found.
UNINSTALL_OUTCOME StartUninstallCommand(const STRING& command, HWND owner,
                                        const STRING& displayName, const STRING& title,
                                        DWORD& exitCode, bool quiet) {
    STRING file;
    STRING parameters;
    if (!SplitUninstallCommand(command, file, parameters)) {
        Log.Printf("UninstallAddIn: the command \"%s\" names no program\r\n", command.c_str());
        ShowLaunchError(displayName, NamedProgram(command), title, SE_ERR_FNF);
        return UNINSTALL_FAILED;
    }
    STRING name = file.From(file.FindLastSeparator() + 1);
    if (quiet && name.Match(ADDIN_INSTALLER, MATCH_EQUALS, true) &&
        !parameters.Match(SILENT_SWITCH, MATCH_CONTAINS, true))
        parameters += parameters.empty() ? STRING(SILENT_SWITCH) : STRING(" ") + SILENT_SWITCH;
    bool stillRunning = false;
    if (!ShellExecuteAndWait(owner, file, parameters, exitCode, displayName.c_str(), title.c_str(),
                             quiet ? QuietWaitLimit() : INFINITE, &stillRunning, quiet))
        return UNINSTALL_FAILED;
    if (stillRunning) {
        Log.Printf("UninstallAddIn: \"%s\" still runs after %lu seconds; it is left alone and "
                   "the uninstall stops\r\n",
                   file.c_str(), static_cast<unsigned long>(QuietWaitLimit() / 1000));
        return UNINSTALL_STILL_RUNNING;
    }
    return UNINSTALL_DONE_BY_USER;
}

} // namespace

bool SplitUninstallCommand(const STRING& command, STRING& file, STRING& parameters) {
    file.clear();
    parameters.clear();
    const char* const whiteSpace = " \t";
    size_t start = command.find_first_not_of(whiteSpace);
    if (start == STRING::npos)
        return false;
    // Windows quotes a program path that holds spaces.
    if (command[start] == '"') {
        size_t end = command.find('"', start + 1);
        file = command.substr(start + 1, end == STRING::npos ? STRING::npos : end - start - 1);
        parameters = end == STRING::npos ? STRING() : STRING(command.substr(end + 1));
        parameters.Trim(' ');
        if (EndsWithExe(file))
            return true;
        file.clear();
        parameters.clear();
        return false;
    }
    // Unquoted, as Windows reads it: the texts that end at a space or a tab,
    // or at the end, shortest first; of those, only one that ends in ".exe"
    // and names an existing file is a program. None: nothing is started.
    for (size_t end = command.find_first_of(whiteSpace, start);;
         end = command.find_first_of(whiteSpace, end + 1)) {
        const size_t stop = end == STRING::npos ? command.size() : end;
        const STRING candidate = command.substr(start, stop - start);
        if (EndsWithExe(candidate) && IsExistingFile(candidate)) {
            file = candidate;
            parameters = command.substr(stop);
            parameters.Trim(' ').Trim('\t').Trim(' ');
            return true;
        }
        if (end == STRING::npos)
            return false;
    }
}

UNINSTALL_OUTCOME RunUninstallString(const STRING& entryKeyPath, HWND owner,
                                     const STRING& displayName, const STRING& title,
                                     DWORD& exitCode, bool quiet) {
    UNINSTALL_OUTCOME done = UNINSTALL_DONE_BY_USER;
    STRING command = ReadUninstallCommand(HKEY_CURRENT_USER, entryKeyPath);
    if (command.empty() && IsEntryOf(HKEY_LOCAL_MACHINE, entryKeyPath, displayName)) {
        command = ReadUninstallCommand(HKEY_LOCAL_MACHINE, entryKeyPath);
        done = UNINSTALL_DONE_BY_MACHINE;
    }
    if (command.empty())
        return UNINSTALL_NO_COMMAND;

    UNINSTALL_OUTCOME started =
        StartUninstallCommand(command, owner, displayName, title, exitCode, quiet);
    if (started != UNINSTALL_DONE_BY_USER)
        return started;
    if (exitCode == UNINSTALL_CANCELLED_EXIT_CODE)
        return UNINSTALL_CANCELLED;
    if (exitCode != 0)
        return UNINSTALL_FAILED;
    return done;
}

bool UninstallAddIn(HWND owner, const STRING& addInName, const STRING& displayName,
                    const STRING& title, bool quiet, bool* cancelled) {
    Log.Printf("UninstallAddIn \"%s\"\r\n", addInName.c_str());

    STRING entry = FindUninstallEntry(displayName);
    if (entry.empty()) {
        RemoveClickOnceManifests(addInName);
        return true;
    }
    Log.Printf("IninstallAddIn keyName \"%s\"\r\n", entry.c_str());

    DWORD exitCode = 1;
    STRING entryKeyPath = STRING(UNINSTALL_ENTRIES_KEY) + "\\" + entry;
    UNINSTALL_OUTCOME outcome =
        RunUninstallString(entryKeyPath, owner, displayName, title, exitCode, quiet);
    if (cancelled)
        *cancelled = outcome == UNINSTALL_CANCELLED;

    bool result = true;
    if (outcome == UNINSTALL_CANCELLED) {
        MessageOkById(IDS_ADDIN_UNINSTALL_CANCELLED, "<addInName>", displayName);
        result = false;
    } else if (outcome == UNINSTALL_STILL_RUNNING) {
        // The command may still be at work: its store and its entry stay
        // as it leaves them.
        return false;
    } else if (outcome == UNINSTALL_FAILED) {
        RemoveClickOnceManifests(addInName);
        MessageOkById(IDS_ADDIN_UNINSTALL_FAILED, "<addInName>", displayName);
        result = false;
    }

    // The uninstaller wrote in another process: make its removal of the entry
    // visible before looking again.
    RegFlushKey(HKEY_CURRENT_USER);
    RegFlushKey(HKEY_LOCAL_MACHINE);

    if (!FindUninstallEntry(displayName).empty())
        result = false;
    return result;
}
