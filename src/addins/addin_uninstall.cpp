#include "addins/addin_uninstall.h"

#include "addins/clickonce_store.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/registry.h"
#include "system/launch.h"

const char* const UNINSTALL_ENTRIES_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

const int IDS_ADDIN_UNINSTALL_FAILED = 56;
const int IDS_ADDIN_UNINSTALL_CANCELLED = 63;

const char* const EXE_EXTENSION = ".exe";

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
    size_t slash = entryKeyPath.rfind('\\');
    if (slash == STRING::npos)
        return false;
    STRING_VECTOR entries;
    FindSubkeysByValue(entries, root, entryKeyPath.substr(0, slash).c_str(), "DisplayName",
                       displayName, MATCH_EQUALS, true, true);
    return entries.IndexOf(entryKeyPath.substr(slash + 1)) >= 0;
}

bool StartUninstallCommand(const STRING& command, HWND owner, const STRING& displayName,
                           const STRING& title, DWORD& exitCode) {
    STRING file;
    STRING parameters;
    SplitUninstallCommand(command, file, parameters);
    return ShellExecuteAndWait(owner, file, parameters, exitCode, displayName.c_str(),
                               title.c_str());
}

} // namespace

void SplitUninstallCommand(const STRING& command, STRING& file, STRING& parameters) {
    // Windows quotes a program path that holds spaces.
    size_t start = command.find_first_not_of(' ');
    if (start != STRING::npos && command[start] == '"') {
        size_t end = command.find('"', start + 1);
        file = command.substr(start + 1, end == STRING::npos ? STRING::npos : end - start - 1);
        parameters = end == STRING::npos ? STRING() : STRING(command.substr(end + 1));
        parameters.Trim(' ');
        return;
    }
    STRING before;
    STRING after;
    if (!command.SplitAt(EXE_EXTENSION, before, after)) {
        before.clear();
        after.clear();
    }
    file = before + EXE_EXTENSION;
    parameters = after;
    parameters.Trim(' ');
}

UNINSTALL_OUTCOME RunUninstallString(const STRING& entryKeyPath, HWND owner,
                                     const STRING& displayName, const STRING& title,
                                     DWORD& exitCode) {
    UNINSTALL_OUTCOME done = UNINSTALL_DONE_BY_USER;
    STRING command = ReadStringAt(HKEY_CURRENT_USER, entryKeyPath.c_str(), "UninstallString");
    if (command.empty() && IsEntryOf(HKEY_LOCAL_MACHINE, entryKeyPath, displayName)) {
        command = ReadStringAt(HKEY_LOCAL_MACHINE, entryKeyPath.c_str(), "UninstallString");
        done = UNINSTALL_DONE_BY_MACHINE;
    }
    if (command.empty())
        return UNINSTALL_NO_COMMAND;

    if (!StartUninstallCommand(command, owner, displayName, title, exitCode))
        return UNINSTALL_FAILED;
    if (exitCode == UNINSTALL_CANCELLED_EXIT_CODE)
        return UNINSTALL_CANCELLED;
    if (exitCode != 0)
        return UNINSTALL_FAILED;
    return done;
}

bool UninstallAddIn(HWND owner, const STRING& addInName, const STRING& displayName,
                    const STRING& title) {
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
        RunUninstallString(entryKeyPath, owner, displayName, title, exitCode);

    bool result = true;
    if (outcome == UNINSTALL_CANCELLED) {
        MessageOkById(IDS_ADDIN_UNINSTALL_CANCELLED, "<addInName>", displayName);
        result = false;
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
