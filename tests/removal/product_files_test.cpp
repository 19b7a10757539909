#include <gtest/gtest.h>

#include <windows.h>

#include "app/product_files.h"
#include "foundation/owned_handle.h"
#include "system/system_info.h"
#include "testkit/product_layout.h"
#include "testkit/temp_folder.h"
#include "string_printing.h"

namespace {

using STRINGS = std::vector<std::string>;

void Append(STRINGS& files, const std::string& prefix, std::initializer_list<const char*> names) {
    for (const char* name : names)
        files.push_back(prefix + name);
}

// One older add-in generation, given its two version folder names.
void AppendOlderAddIn(STRINGS& files, const std::string& version2007,
                      const std::string& version2010) {
    Append(files, "Add-In 2007\\", {"Setup.exe", "Orvalith AddIn 2007.vsto"});
    Append(files, "Add-In 2007\\Application Files\\" + version2007 + "\\",
           {"Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
            "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
            "Orvalith AddIn 2007.dll.config.deploy", "Orvalith AddIn 2007.dll.deploy",
            "Orvalith AddIn 2007.vsto", "Orvalith AddIn 2007.dll.manifest"});
    Append(files, "Add-In 2010\\", {"Setup.exe", "Orvalith AddIn 2010.vsto"});
    Append(files, "Add-In 2010\\Application Files\\" + version2010 + "\\",
           {"Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
            "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
            "Orvalith AddIn 2007.dll.deploy", "Orvalith AddIn 2010.dll.deploy",
            "Orvalith AddIn 2010.vsto", "Orvalith AddIn 2010.dll.manifest"});
}

// Every file of a complete install: the current ones, then the previous and
// the oldest add-in generations, which are removed but never reported.
STRINGS AllProductFiles() {
    STRINGS files = CurrentProductFiles();
    AppendOlderAddIn(files, "Orvalith AddIn 2007_4_1_0_17", "Orvalith AddIn 2010_4_1_0_17");
    files.push_back("Add-In 2010\\Application Files\\Orvalith AddIn 2010_4_1_0_17\\Resources\\"
                    "openTaskContext.png.deploy");
    AppendOlderAddIn(files, "Orvalith AddIn 2007_4_0_0_0", "Orvalith AddIn 2010_1_0_0_0");
    return files;
}

void Install(const std::string& programFolder) {
    for (const std::string& file : AllProductFiles())
        MakeFile(programFolder + "\\" + file);
}

// The files as the removal lists them: full path and line feed.
std::string Listed(const std::string& folder, const STRINGS& files) {
    std::string list;
    for (const std::string& file : files)
        list += folder + "\\" + file + "\n";
    return list;
}

STRINGS Remaining(const std::string& program) {
    return FilesLeft(program, AllProductFiles());
}

// A complete install in a temporary folder.
struct INSTALLED {
    explicit INSTALLED(const std::string& relativeProgram) : program(temp.File(relativeProgram)) {
        Install(program);
    }
    TEMP_FOLDER temp;
    std::string program;
};

TEST(ProductFiles, CompleteInstallGoesWithEveryFolder) {
    TEMP_FOLDER temp;
    const std::string parent = temp.File("Brindlecove");
    const std::string root = parent + "\\Orvalith 5";
    const std::string program = root + "\\Program";
    // Texts left by an earlier failed run do not carry over.
    EXPECT_FALSE(RemoveProductFiles(root, program));
    EXPECT_FALSE(FailedFileList().empty());

    Install(program);
    EXPECT_TRUE(RemoveProductFiles(root, program));
    EXPECT_EQ(FailedFileList(), "");
    EXPECT_EQ(LastDeleteError(), "");
    EXPECT_EQ(Remaining(program), STRINGS());
    EXPECT_FALSE(Exists(parent));
    EXPECT_TRUE(Exists(temp.Path()));
}

// A missing folder, or one too long for any path: every program and current
// add-in file is listed, one line each in order; the older generations never.
TEST(ProductFiles, MissingProgramFolderListsEveryProgramAndCurrentAddInFile) {
    EXPECT_EQ(CurrentProductFiles().size(), 35u);
    TEMP_FOLDER temp;
    MakeFile(temp.File("keep.txt")); // else the root's parent would go
    for (const std::string& program : {temp.File("Gone"), temp.File(std::string(300, 'x'))}) {
        EXPECT_FALSE(RemoveProductFiles(program, program));
        EXPECT_EQ(FailedFileList(), Listed(program, CurrentProductFiles()));
        EXPECT_FALSE(LastDeleteError().empty());
        if (program == temp.File("Gone")) {
            EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_PATH_NOT_FOUND));
        }
        EXPECT_TRUE(Exists(temp.File("keep.txt")));
    }
}

TEST(ProductFiles, UndeletableFilesAreListedAndEverythingElseGoes) {
    const std::string locked = "Orvalith.exe";
    const std::string readOnly = "Orvalith Add-In\\Application Files\\Orvalith Outlook "
                                 "Add-In_5_0_72_0\\Resources\\pin.gif.deploy";
    const std::string olderReadOnly =
        "Add-In 2007\\Application Files\\Orvalith AddIn 2007_4_0_0_0\\Orvalith AddIn 2007.vsto";
    {
        // A program file held open without sharing deletion, and a current
        // add-in file that is read-only: the program file's error explains.
        INSTALLED install("Program");
        OWNED_HANDLE held(CreateFileA((install.program + "\\" + locked).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
        SetFileAttributesA((install.program + "\\" + readOnly).c_str(), FILE_ATTRIBUTE_READONLY);

        EXPECT_FALSE(RemoveProductFiles(install.program, install.program));
        EXPECT_EQ(FailedFileList(), Listed(install.program, {locked, readOnly}));
        EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(Remaining(install.program), (STRINGS{locked, readOnly}));
        EXPECT_TRUE(Exists(install.program + "\\Orvalith Add-In\\Application Files"));
        EXPECT_FALSE(Exists(install.program + "\\Add-In 2007"));
    }
    {
        // Only the add-in file fails: its error explains. An older
        // generation's file that stays is never listed.
        INSTALLED install("Program");
        for (const std::string& file : {readOnly, olderReadOnly})
            SetFileAttributesA((install.program + "\\" + file).c_str(), FILE_ATTRIBUTE_READONLY);

        EXPECT_FALSE(RemoveProductFiles(install.program, install.program));
        EXPECT_EQ(FailedFileList(), Listed(install.program, {readOnly}));
        EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_ACCESS_DENIED));
        EXPECT_EQ(Remaining(install.program), (STRINGS{readOnly, olderReadOnly}));
        EXPECT_FALSE(Exists(install.program + "\\Add-In 2010"));
    }
}

TEST(ProductFiles, FoldersGoOnlyWhenEmpty) {
    {
        // A file of the user's keeps the program folder and the root.
        INSTALLED install("Root\\Program");
        MakeFile(install.program + "\\Notes.txt");
        EXPECT_TRUE(RemoveProductFiles(install.temp.File("Root"), install.program));
        EXPECT_EQ(FailedFileList(), "");
        EXPECT_TRUE(Exists(install.program + "\\Notes.txt"));
        EXPECT_EQ(Remaining(install.program), STRINGS());
        EXPECT_FALSE(Exists(install.program + "\\Orvalith Add-In"));
        EXPECT_FALSE(Exists(install.program + "\\Add-In 2007"));
    }
    {
        // The shared add-in folders stay while a version folder below them
        // is not empty; the rest of both older generations goes.
        INSTALLED install("Program");
        const std::string versions = install.program + "\\Add-In 2010\\Application Files\\";
        MakeFile(versions + "Orvalith AddIn 2010_1_0_0_0\\user.txt");
        EXPECT_TRUE(RemoveProductFiles(install.program, install.program));
        EXPECT_TRUE(Exists(versions + "Orvalith AddIn 2010_1_0_0_0\\user.txt"));
        EXPECT_FALSE(Exists(versions + "Orvalith AddIn 2010_4_1_0_17"));
        EXPECT_FALSE(Exists(install.program + "\\Add-In 2007"));
        EXPECT_EQ(Remaining(install.program), STRINGS());
    }
}

TEST(ProductFiles, RootParentGoesWhenEmptyHoweverTheRootIsWritten) {
    for (const char* ending : {"", "\\", "/"}) {
        SCOPED_TRACE(ending);
        INSTALLED install("Parent\\Root\\Program");
        EXPECT_TRUE(
            RemoveProductFiles(install.temp.File("Parent\\Root") + ending, install.program));
        EXPECT_FALSE(Exists(install.temp.File("Parent")));
    }
    {
        // A parent that holds anything else stays.
        INSTALLED install("Parent\\Root");
        MakeFile(install.temp.File("Parent\\Other\\file.txt"));
        EXPECT_TRUE(RemoveProductFiles(install.program + "\\", install.program));
        EXPECT_FALSE(Exists(install.program));
        EXPECT_TRUE(Exists(install.temp.File("Parent\\Other\\file.txt")));
    }
    // A root without a separator names no folder below a root and, like a
    // blank one, removes no folder. Either way the current folder stays,
    // though empty.
    for (const char* root : {"Root", ""}) {
        SCOPED_TRACE(root);
        INSTALLED install("Program");
        CURRENT_FOLDER current(install.temp.Path());
        if (*root)
            CreateDirectoryA(install.temp.File(root).c_str(), nullptr);
        EXPECT_TRUE(RemoveProductFiles(root, install.program));
        EXPECT_EQ(*root != '\0', Exists(install.temp.File("Root")));
        EXPECT_FALSE(Exists(install.program));
        EXPECT_TRUE(Exists(install.temp.Path()));
    }
}

// Files and folders at the root of a drive that carry the product's names but
// are not the product's. Each is made only where nothing of that name exists,
// and removed again whatever the test found.
struct DECOYS {
    ~DECOYS() {
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            if (!DeleteFileA(it->c_str()))
                RemoveDirectoryA(it->c_str());
    }
    bool Add(const std::string& path, bool folder) {
        bool added = folder ? CreateDirectoryA(path.c_str(), nullptr) != 0
                            : OWNED_HANDLE(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr))
                                  .Valid();
        if (added)
            made.push_back(path);
        return added;
    }
    STRINGS Missing() const {
        STRINGS missing;
        for (const std::string& path : made)
            if (!Exists(path))
                missing.push_back(path);
        return missing;
    }
    STRINGS made;
};

// A blank folder, or a text that names no folder below a root, as the
// program and the root folder.
TEST(ProductFiles, BlankProgramFolderDeletesNothing) {
    // Bare names would land at the root of the current folder's drive, and
    // relative ones in the current folder.
    TEMP_FOLDER temp;
    CURRENT_FOLDER current(temp.Path());
    const std::string driveRoot = temp.Path().Left(3);
    ASSERT_EQ(driveRoot, "C:\\");
    DECOYS decoys;
    // The empty add-in folders would go if removed.
    for (const std::string& place : {driveRoot, temp.Path() + "\\"})
        for (auto [name, folder] : {std::make_pair("Orvalith.exe", false),
                                    {"Orvalith Add-In", true},
                                    {"Orvalith Add-In\\Setup.exe", false},
                                    {"Add-In 2007", true},
                                    {"Add-In 2010", true}})
            ASSERT_TRUE(decoys.Add(place + name, folder)) << place << name;

    for (const std::string blank : {"", "   ", ".", "C:", "C:\\", "\\", "C:\\Orvalith\\.."}) {
        SCOPED_TRACE(testing::Message() << '"' << blank << '"');
        EXPECT_FALSE(RemoveProductFiles(blank, blank));
        // Listed with the paths as they would have been built from a blank
        // text.
        EXPECT_EQ(FailedFileList(),
                  Listed(blank == "   " ? blank : std::string(), CurrentProductFiles()));
        EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(decoys.Missing(), STRINGS());
    }
    EXPECT_FALSE(DeleteProductFile("", "Orvalith.exe", false));
    EXPECT_FALSE(RemoveFolder("", "Add-In 2007"));
    EXPECT_EQ(decoys.Missing(), STRINGS());
}

TEST(ProductFiles, OneFileIsRecordedOnlyWhenReported) {
    TEMP_FOLDER temp;
    const std::string before = FailedFileList();
    EXPECT_FALSE(DeleteProductFile(temp.Path(), "missing.txt", false));
    EXPECT_EQ(FailedFileList(), before);
    // A folder written with its final backslash gives the same path.
    EXPECT_FALSE(DeleteProductFile(temp.Path() + "\\", "missing.txt", true));
    EXPECT_EQ(FailedFileList(), before + temp.File("missing.txt") + "\n");
    EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_FILE_NOT_FOUND));
}

} // namespace
