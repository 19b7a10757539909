// Shared set-up of the add-in removal tests: a click-once store in a
// temporary folder, uninstall entries that start the stand-in uninstaller,
// and a closer for the message boxes that the shell shows by itself.
#pragma once

#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include "foundation/owned_handle.h"
#include "addins/addin_uninstall.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/test_registry.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

// The names the uninstall passes.
extern const char* const ADDIN_NAME;
extern const char* const ADDIN_DISPLAY_NAME;
extern const char* const UNINSTALL_TITLE;

// Creates a new file with a little content; reports a failure to the test.
void CreateTestFile(const std::string& path);

// A click-once store of the current user for the object's lifetime: its keys
// and a manifests folder below a temporary LOCALAPPDATA.
class CLICKONCE_STORE {
public:
    // The default random string names a full-length store folder.
    explicit CLICKONCE_STORE(const char* randomString = "ABCDEFGH1JKLMNOPQR2TUV");

    // Writes (or, with nullptr, removes) "ComponentStore_RandomString".
    void SetRandomString(const char* randomString);
    void AddMark(const std::string& name, const std::string& identity);
    void AddComponent(const std::string& name, const std::string& identity);
    // The manifests folder of the default random string, and a manifest in it.
    std::string ManifestsFolder() const {
        return localAppData_.Path() + "\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.TUV\\manifests";
    }
    std::string ManifestPath(const std::string& name) const {
        return ManifestsFolder() + "\\" + name + ".manifest";
    }
    void AddManifest(const std::string& name) { CreateTestFile(ManifestPath(name)); }
    bool HasManifest(const std::string& name) const { return FileExists(ManifestPath(name)); }

private:
    TEMPORARY_KEY key_;
    TEMP_FOLDER localAppData_;
    ENVIRONMENT_OVERRIDE environment_;
};

// An entry of the current user's uninstall list, removed with its machine-wide
// twin when the object goes.
class UNINSTALL_ENTRY {
public:
    UNINSTALL_ENTRY(const std::string& name, const std::string& displayName);
    ~UNINSTALL_ENTRY();
    UNINSTALL_ENTRY(const UNINSTALL_ENTRY&) = delete;
    UNINSTALL_ENTRY& operator=(const UNINSTALL_ENTRY&) = delete;

    const std::string& Name() const { return name_; }
    std::string Path() const;
    void SetCommand(HKEY root, const std::string& command) {
        SetRegString(root, Path(), "UninstallString", command);
    }
    bool Present() const { return RegKeyPresent(HKEY_CURRENT_USER, Path()); }

private:
    std::string name_;
};

// The stand-in uninstaller beside the test program.
inline std::string FakeUninstallerPath() {
    return ThisProgramFolder() + "\\fake_addin_uninstaller.exe";
}

// For the object's lifetime, the stand-in uninstaller journals its starts to
// a temporary file.
class UNINSTALLER_JOURNAL {
public:
    UNINSTALLER_JOURNAL() : environment_("ORVALITH_FAKE_UNINSTALLER_JOURNAL", File()) {}
    // One line per start: the program's file, a tab, its parameters.
    std::vector<std::string> Starts() const { return SplitLines(ReadWholeFile(File())); }

private:
    std::string File() const { return folder_.File("journal.txt"); }

    TEMP_FOLDER folder_;
    ENVIRONMENT_OVERRIDE environment_;
};

// Closes every dialog window that this process shows outside the message
// presenter (the shell's own error boxes), on a thread of its own, until the
// object goes.
class FOREIGN_DIALOG_CLOSER {
public:
    FOREIGN_DIALOG_CLOSER();
    ~FOREIGN_DIALOG_CLOSER();
    FOREIGN_DIALOG_CLOSER(const FOREIGN_DIALOG_CLOSER&) = delete;
    FOREIGN_DIALOG_CLOSER& operator=(const FOREIGN_DIALOG_CLOSER&) = delete;

private:
    static DWORD WINAPI Run(void* self);

    OWNED_HANDLE stop_;
    OWNED_HANDLE thread_;
};

// The add-in's manifest in the store.
const char* const ADDIN_MANIFEST = "orva..vsto_0005";

// The add-in deployed to the click-once store (its manifest watched by the
// presenter), on Windows XP, with the stand-in uninstaller's journal.
struct DEPLOYED_ADDIN {
    DEPLOYED_ADDIN() {
        store.AddMark(ADDIN_MANIFEST, "Orvalith Outlook Add-In.vsto, Version=5.0.0.0");
        store.AddManifest(ADDIN_MANIFEST);
        presenter.WatchFile(store.ManifestPath(ADDIN_MANIFEST));
    }
    bool Uninstall(bool quiet = false) {
        return UninstallAddIn(nullptr, ADDIN_NAME, ADDIN_DISPLAY_NAME, UNINSTALL_TITLE, quiet);
    }

    VERSION_GUARD xp{5, 1};
    SCRIPTED_PRESENTER presenter;
    CLICKONCE_STORE store;
    UNINSTALLER_JOURNAL journal;
};

// The stand-in's command for entry, with further parameters.
inline std::string Command(const UNINSTALL_ENTRY& entry, const std::string& more = "") {
    return FakeUninstallerPath() + " /entry " + entry.Name() + (more.empty() ? "" : " " + more);
}
