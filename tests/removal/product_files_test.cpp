#include <gtest/gtest.h>

#include <windows.h>

#include "app/product_files.h"
#include "foundation/owned_handle.h"
#include "system/system_info.h"
#include "testkit/temp_folder.h"
#include "string_printing.h"

namespace {

// What the product's setup puts into the program folder, written out here
// on its own so that a wrong name in the removal shows as a file left over.
const char* const PROGRAM_FILES[] = {
    "Orvalith.chm",           "Orvalith.exe",         "OrvalithStrings.txt",
    "Orvalith Uninstall.exe", "OrvalithUnPhase1.exe", "OrvalithAddInHelper.exe",
};

STRING_VECTOR Prefixed(const STRING& prefix, std::initializer_list<const char*> names) {
    STRING_VECTOR paths;
    for (const char* name : names)
        paths.Add(prefix + name);
    return paths;
}

STRING_VECTOR List(std::initializer_list<STRING> items) {
    STRING_VECTOR list;
    list.insert(list.end(), items);
    return list;
}

STRING_VECTOR& operator+=(STRING_VECTOR& list, const STRING_VECTOR& more) {
    list.insert(list.end(), more.begin(), more.end());
    return list;
}

// The current add-in's files, in the order the removal reports them.
STRING_VECTOR CurrentAddInFiles() {
    const STRING version = "Orvalith Add-In\\Application Files\\Orvalith Outlook Add-In_5_0_72_0\\";
    STRING_VECTOR files =
        Prefixed("Orvalith Add-In\\", {"Setup.exe", "Orvalith Outlook Add-In.vsto"});
    files += Prefixed(version, {"Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
                                "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
                                "Orvalith Outlook Add-In.dll.deploy",
                                "Orvalith Outlook Add-In.dll.manifest"});
    files += Prefixed(version + "Resources\\", {"Orvalith Outlook Add-In.dll.deploy",
                                                "Orvalith Outlook Add-In.dll.manifest",
                                                "Check Box Empty Task.png.deploy",
                                                "Check Box Empty.png.deploy",
                                                "Check Box Mixed Task.png.deploy",
                                                "Check Box Mixed.png.deploy",
                                                "Check Box Selected Task.png.deploy",
                                                "Check Box Selected.png.deploy",
                                                "createTaskContext.png.deploy",
                                                "createTaskContextPin.png.deploy",
                                                "openTask.gif.deploy",
                                                "openTaskContext.png.deploy",
                                                "pin.gif.deploy",
                                                "pinContext.png.deploy",
                                                "pinMix.gif.deploy",
                                                "pinMixContext.png.deploy",
                                                "pinned.gif.deploy",
                                                "pinnedContext.png.deploy",
                                                "SettingsIcon16x16.png.deploy",
                                                "Orvalith32.bmp.deploy",
                                                "OrvalithHelp16.png.deploy",
                                                "OrvalithHelp48.png.deploy",
                                                "OpenTaskFolder.png.deploy"});
    return files;
}

// One older add-in generation, given its two version folder names.
STRING_VECTOR OlderAddInFiles(const STRING& version2007, const STRING& version2010) {
    STRING_VECTOR files = Prefixed("Add-In 2007\\", {"Setup.exe", "Orvalith AddIn 2007.vsto"});
    files += Prefixed("Add-In 2007\\Application Files\\" + version2007 + "\\",
                      {"Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
                       "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
                       "Orvalith AddIn 2007.dll.config.deploy", "Orvalith AddIn 2007.dll.deploy",
                       "Orvalith AddIn 2007.vsto", "Orvalith AddIn 2007.dll.manifest"});
    files += Prefixed("Add-In 2010\\", {"Setup.exe", "Orvalith AddIn 2010.vsto"});
    files += Prefixed("Add-In 2010\\Application Files\\" + version2010 + "\\",
                      {"Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
                       "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
                       "Orvalith AddIn 2007.dll.deploy", "Orvalith AddIn 2010.dll.deploy",
                       "Orvalith AddIn 2010.vsto", "Orvalith AddIn 2010.dll.manifest"});
    return files;
}

STRING_VECTOR PreviousAddInFiles() {
    STRING_VECTOR files =
        OlderAddInFiles("Orvalith AddIn 2007_4_1_0_17", "Orvalith AddIn 2010_4_1_0_17");
    files.Add("Add-In 2010\\Application Files\\Orvalith AddIn 2010_4_1_0_17\\Resources\\"
              "openTaskContext.png.deploy");
    return files;
}

STRING_VECTOR OldestAddInFiles() {
    return OlderAddInFiles("Orvalith AddIn 2007_4_0_0_0", "Orvalith AddIn 2010_1_0_0_0");
}

// Every file of a complete install, relative to the program folder.
STRING_VECTOR AllProductFiles() {
    STRING_VECTOR files;
    for (const char* name : PROGRAM_FILES)
        files.Add(name);
    files += CurrentAddInFiles();
    files += PreviousAddInFiles();
    files += OldestAddInFiles();
    return files;
}

bool Exists(const STRING& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates the file with some content, and every missing folder above it.
void CreateFileAt(const STRING& path) {
    for (size_t at = path.find('\\', 3); at != STRING::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    OWNED_HANDLE file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid()) << path;
    DWORD written = 0;
    WriteFile(file.Get(), "data", 4, &written, nullptr);
}

void Install(const STRING& programFolder, const STRING_VECTOR& files = AllProductFiles()) {
    for (const STRING& file : files)
        CreateFileAt(programFolder + "\\" + file);
}

// The files of a folder as the removal lists them: full path and line feed.
STRING Listed(const STRING& folder, const STRING_VECTOR& files) {
    STRING list;
    for (const STRING& file : files)
        list += folder + "\\" + file + "\n";
    return list;
}

STRING_VECTOR ReportedFiles() {
    STRING_VECTOR files;
    for (const char* name : PROGRAM_FILES)
        files.Add(name);
    files += CurrentAddInFiles();
    return files;
}

// The files of the list that are still there.
STRING_VECTOR Remaining(const STRING& folder, const STRING_VECTOR& files) {
    STRING_VECTOR left;
    for (const STRING& file : files)
        if (Exists(folder + "\\" + file))
            left.AddUnique(file);
    return left;
}

// Makes folder the current folder for the object's lifetime.
class CURRENT_FOLDER {
public:
    explicit CURRENT_FOLDER(const STRING& folder) {
        GetCurrentDirectoryA(sizeof(previous_), previous_);
        EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
    }
    ~CURRENT_FOLDER() { SetCurrentDirectoryA(previous_); }
    CURRENT_FOLDER(const CURRENT_FOLDER&) = delete;
    CURRENT_FOLDER& operator=(const CURRENT_FOLDER&) = delete;

private:
    char previous_[MAX_PATH] = "";
};

TEST(ProductFiles, CompleteInstallGoesWithEveryFolder) {
    TEMP_FOLDER temp;
    const STRING parent = temp.File("Brindlecove");
    const STRING root = parent + "\\Orvalith 5";
    const STRING program = root + "\\Program";
    // Texts left by an earlier failed run do not carry over.
    EXPECT_FALSE(RemoveProductFiles(root, program));
    EXPECT_FALSE(FailedFileList().empty());

    Install(program);
    EXPECT_TRUE(RemoveProductFiles(root, program));
    EXPECT_EQ(FailedFileList(), "");
    EXPECT_EQ(LastDeleteError(), "");
    EXPECT_EQ(Remaining(program, AllProductFiles()), STRING_VECTOR());
    EXPECT_FALSE(Exists(parent));
    EXPECT_TRUE(Exists(temp.Path()));
}

TEST(ProductFiles, MissingProgramFolderListsEveryProgramAndCurrentAddInFile) {
    TEMP_FOLDER temp;
    CreateFileAt(temp.File("keep.txt")); // else the root's parent would go
    const STRING program = temp.File("Gone");
    EXPECT_FALSE(RemoveProductFiles(program, program));
    // One line each, in order; the older generations are never listed.
    EXPECT_EQ(FailedFileList(), Listed(program, ReportedFiles()));
    EXPECT_EQ(ReportedFiles().size(), 35u);
    EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(LastDeleteError().empty());
    EXPECT_TRUE(Exists(temp.File("keep.txt")));

    // A folder too long for any path is reported the same way.
    const STRING tooLong = temp.File(STRING(300, 'x'));
    EXPECT_FALSE(RemoveProductFiles(tooLong, tooLong));
    EXPECT_EQ(FailedFileList(), Listed(tooLong, ReportedFiles()));
    EXPECT_FALSE(LastDeleteError().empty());
    EXPECT_TRUE(Exists(temp.File("keep.txt")));
}

TEST(ProductFiles, UndeletableFilesAreListedAndEverythingElseGoes) {
    const STRING lockedName = "Orvalith.exe";
    const STRING readOnlyName = "Orvalith Add-In\\Application Files\\Orvalith Outlook "
                                "Add-In_5_0_72_0\\Resources\\pin.gif.deploy";
    const STRING olderReadOnlyName =
        "Add-In 2007\\Application Files\\Orvalith AddIn 2007_4_0_0_0\\Orvalith AddIn 2007.vsto";
    {
        // A program file held open without sharing deletion, and a current
        // add-in file that is read-only: the program file's error explains.
        TEMP_FOLDER temp;
        const STRING program = temp.File("Program");
        Install(program);
        OWNED_HANDLE locked(CreateFileA((program + "\\" + lockedName).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked.Valid());
        SetFileAttributesA((program + "\\" + readOnlyName).c_str(), FILE_ATTRIBUTE_READONLY);

        EXPECT_FALSE(RemoveProductFiles(program, program));
        EXPECT_EQ(FailedFileList(), Listed(program, List({lockedName, readOnlyName})));
        EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(Remaining(program, AllProductFiles()), List({lockedName, readOnlyName}));
        EXPECT_TRUE(Exists(program + "\\Orvalith Add-In\\Application Files"));
        EXPECT_FALSE(Exists(program + "\\Add-In 2007"));
    }
    {
        // Only the add-in file fails: its error explains. An older
        // generation's file that stays is never listed.
        TEMP_FOLDER temp;
        const STRING program = temp.File("Program");
        Install(program);
        SetFileAttributesA((program + "\\" + readOnlyName).c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA((program + "\\" + olderReadOnlyName).c_str(), FILE_ATTRIBUTE_READONLY);

        EXPECT_FALSE(RemoveProductFiles(program, program));
        EXPECT_EQ(FailedFileList(), Listed(program, List({readOnlyName})));
        EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_ACCESS_DENIED));
        EXPECT_EQ(Remaining(program, AllProductFiles()), List({readOnlyName, olderReadOnlyName}));
        EXPECT_FALSE(Exists(program + "\\Add-In 2010"));
    }
}

TEST(ProductFiles, FoldersGoOnlyWhenEmpty) {
    {
        // A file of the user's keeps the program folder and the root.
        TEMP_FOLDER temp;
        const STRING root = temp.File("Root");
        const STRING program = root + "\\Program";
        Install(program);
        CreateFileAt(program + "\\Notes.txt");
        EXPECT_TRUE(RemoveProductFiles(root, program));
        EXPECT_EQ(FailedFileList(), "");
        EXPECT_TRUE(Exists(program + "\\Notes.txt"));
        EXPECT_EQ(Remaining(program, AllProductFiles()), STRING_VECTOR());
        EXPECT_FALSE(Exists(program + "\\Orvalith Add-In"));
        EXPECT_FALSE(Exists(program + "\\Add-In 2007"));
    }
    {
        // The shared add-in folders stay while a version folder below them
        // is not empty; the rest of both older generations goes.
        TEMP_FOLDER temp;
        const STRING program = temp.File("Program");
        Install(program);
        const STRING keeper =
            program + "\\Add-In 2010\\Application Files\\Orvalith AddIn 2010_1_0_0_0\\user.txt";
        CreateFileAt(keeper);
        EXPECT_TRUE(RemoveProductFiles(program, program));
        EXPECT_TRUE(Exists(keeper));
        EXPECT_FALSE(
            Exists(program + "\\Add-In 2010\\Application Files\\Orvalith AddIn 2010_4_1_0_17"));
        EXPECT_FALSE(Exists(program + "\\Add-In 2007"));
        EXPECT_EQ(Remaining(program, AllProductFiles()), STRING_VECTOR());
    }
}

TEST(ProductFiles, RootParentGoesWhenEmptyHoweverTheRootIsWritten) {
    for (const char* ending : {"", "\\", "/"}) {
        SCOPED_TRACE(ending);
        TEMP_FOLDER temp;
        const STRING parent = temp.File("Parent");
        const STRING root = parent + "\\Root";
        Install(root + "\\Program");
        EXPECT_TRUE(RemoveProductFiles(root + ending, root + "\\Program"));
        EXPECT_FALSE(Exists(parent));
    }
    {
        // A parent that holds anything else stays.
        TEMP_FOLDER temp;
        const STRING parent = temp.File("Parent");
        Install(parent + "\\Root");
        CreateFileAt(parent + "\\Other\\file.txt");
        EXPECT_TRUE(RemoveProductFiles(parent + "\\Root\\", parent + "\\Root"));
        EXPECT_FALSE(Exists(parent + "\\Root"));
        EXPECT_TRUE(Exists(parent + "\\Other\\file.txt"));
    }
    {
        // A root without a separator is removed as named (below the current
        // folder) and has no parent: the current folder stays, though empty.
        TEMP_FOLDER temp;
        CURRENT_FOLDER current(temp.Path());
        CreateDirectoryA(temp.File("Root").c_str(), nullptr);
        Install(temp.File("Program"));
        EXPECT_TRUE(RemoveProductFiles("Root", temp.File("Program")));
        EXPECT_FALSE(Exists(temp.File("Root")));
        EXPECT_FALSE(Exists(temp.File("Program")));
        EXPECT_TRUE(Exists(temp.Path()));
    }
    {
        // A blank root removes no folder of its own.
        TEMP_FOLDER temp;
        CURRENT_FOLDER current(temp.Path());
        Install(temp.File("Program"));
        EXPECT_TRUE(RemoveProductFiles("", temp.File("Program")));
        EXPECT_FALSE(Exists(temp.File("Program")));
        EXPECT_TRUE(Exists(temp.Path()));
    }
}

// Files and folders at the root of a drive that carry the product's names
// but are not the product's. Each is made only where nothing of that name
// exists, and removed again whatever the test found.
class DECOYS {
public:
    explicit DECOYS(const STRING& driveRoot) : root_(driveRoot) {}
    ~DECOYS() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            if (!DeleteFileA(it->c_str()))
                RemoveDirectoryA(it->c_str());
    }
    DECOYS(const DECOYS&) = delete;
    DECOYS& operator=(const DECOYS&) = delete;

    bool Add(const STRING& name, bool folder = false) {
        STRING path = root_ + name;
        bool made = folder ? CreateDirectoryA(path.c_str(), nullptr) != 0
                           : OWNED_HANDLE(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr))
                                 .Valid();
        if (made)
            made_.Add(path);
        return made;
    }
    STRING_VECTOR Missing() const {
        STRING_VECTOR missing;
        for (const STRING& path : made_)
            if (!Exists(path))
                missing.Add(path);
        return missing;
    }

private:
    STRING root_;
    STRING_VECTOR made_;
};

TEST(ProductFiles, BlankProgramFolderDeletesNothing) {
    // Bare names would land at the root of the current folder's drive.
    TEMP_FOLDER temp;
    CURRENT_FOLDER current(temp.Path());
    const STRING driveRoot = temp.Path().Left(3);
    ASSERT_EQ(driveRoot.Right(2), ":\\");
    DECOYS decoys(driveRoot);
    ASSERT_TRUE(decoys.Add("Orvalith.exe"));
    ASSERT_TRUE(decoys.Add("Orvalith Add-In", true));
    ASSERT_TRUE(decoys.Add("Orvalith Add-In\\Setup.exe"));
    ASSERT_TRUE(decoys.Add("Add-In 2007", true)); // empty: would go if removed
    ASSERT_TRUE(decoys.Add("Add-In 2010", true));

    for (const char* blank : {"", "   "}) {
        SCOPED_TRACE(testing::Message() << '"' << blank << '"');
        EXPECT_FALSE(RemoveProductFiles(blank, blank));
        // Listed with the paths as they would have been built.
        STRING expected;
        for (const STRING& file : ReportedFiles())
            expected += STRING(blank) + "\\" + file + "\n";
        EXPECT_EQ(FailedFileList(), expected);
        EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(decoys.Missing(), STRING_VECTOR());
    }
    EXPECT_FALSE(DeleteProductFile("", "Orvalith.exe", false));
    EXPECT_FALSE(RemoveFolder("", "Add-In 2007"));
    EXPECT_EQ(decoys.Missing(), STRING_VECTOR());
}

TEST(ProductFiles, OneFileIsRecordedOnlyWhenReported) {
    TEMP_FOLDER temp;
    const STRING before = FailedFileList();
    EXPECT_FALSE(DeleteProductFile(temp.Path(), "missing.txt", false));
    EXPECT_EQ(FailedFileList(), before);
    // A folder written with its final backslash gives the same path.
    EXPECT_FALSE(DeleteProductFile(temp.Path() + "\\", "missing.txt", true));
    EXPECT_EQ(FailedFileList(), before + temp.File("missing.txt") + "\n");
    EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_FILE_NOT_FOUND));
}

} // namespace
