// The files that the product's setup puts below the program folder, read from
// the list the tests and the demonstration machine share
// (testkit/product_files.txt, carried as a resource by testkit/product_files.rc)
// so that a wrong name in the removal shows as a file left over; and the means
// to lay them out on disk and to find what is left.
#pragma once

#include <algorithm>
#include <string>
#include <vector>
#include <windows.h>

#include <gtest/gtest.h>

#include "foundation/owned_handle.h"
#include "testkit/temp_folder.h"

// The entries of one "[section]" of the shared list, in its order.
inline std::vector<std::string> ListedProductFiles(const std::string& section) {
    HRSRC found = FindResourceA(nullptr, "PRODUCT_FILES", MAKEINTRESOURCEA(10)); // RT_RCDATA
    const char* data =
        found ? static_cast<const char*>(LockResource(LoadResource(nullptr, found))) : nullptr;
    EXPECT_TRUE(data) << "the test program carries no testkit/product_files.rc";
    std::string text = data ? std::string(data, SizeofResource(nullptr, found)) : "";
    std::vector<std::string> files;
    std::string current;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[')
            current = line.substr(1, line.size() - 2);
        else if (!line.empty() && line[0] != '#' && current == section)
            files.push_back(line);
    }
    EXPECT_FALSE(files.empty()) << "no section [" << section << "]";
    return files;
}

// The program's files and the current add-in's, in the order the removal
// reports them.
inline std::vector<std::string> CurrentProductFiles() {
    return ListedProductFiles("program");
}

// Every file of a complete install: the current ones, then the older add-in
// generations, which are removed but never reported.
inline std::vector<std::string> AllProductFiles() {
    std::vector<std::string> files = CurrentProductFiles();
    for (const std::string& file : ListedProductFiles("older add-ins"))
        files.push_back(file);
    return files;
}

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates the file with a little content, and every missing folder above it.
inline void MakeFile(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    OWNED_HANDLE file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid()) << path;
    DWORD written = 0;
    WriteFile(file.Get(), "data", 4, &written, nullptr);
}

// The files of the list that are still below folder, each once.
inline std::vector<std::string> FilesLeft(const std::string& folder,
                                          const std::vector<std::string>& files) {
    std::vector<std::string> left;
    for (const std::string& file : files)
        if (Exists(folder + "\\" + file) && std::find(left.begin(), left.end(), file) == left.end())
            left.push_back(file);
    return left;
}

// The files as the removal lists them: full path and line feed.
inline std::string Listed(const std::string& folder, const std::vector<std::string>& files) {
    std::string list;
    for (const std::string& file : files)
        list += folder + "\\" + file + "\n";
    return list;
}

// A complete install in a temporary folder, the program folder at relative.
struct INSTALLED {
    explicit INSTALLED(const std::string& relative) : program(temp.File(relative)) {
        for (const std::string& file : AllProductFiles())
            MakeFile(program + "\\" + file);
    }
    std::vector<std::string> Left() const { return FilesLeft(program, AllProductFiles()); }
    TEMP_FOLDER temp;
    std::string program;
};

// Files and folders that carry the product's names but are not the
// product's. Each is made only where nothing of that name exists, and removed
// again whatever the test found.
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
    std::vector<std::string> Missing() const {
        std::vector<std::string> missing;
        for (const std::string& path : made)
            if (!Exists(path))
                missing.push_back(path);
        return missing;
    }
    std::vector<std::string> made;
};

inline std::string CurrentFolder() {
    char buffer[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(buffer), buffer);
    return buffer;
}

inline std::string TemporaryFolder() {
    char buffer[MAX_PATH] = "";
    GetTempPathA(sizeof(buffer), buffer);
    return buffer;
}

// Makes folder the current folder for the object's lifetime (or, with an
// empty folder, only brings the current one back afterwards).
class CURRENT_FOLDER {
public:
    explicit CURRENT_FOLDER(const std::string& folder = std::string()) {
        GetCurrentDirectoryA(sizeof(previous_), previous_);
        if (!folder.empty()) {
            EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
        }
    }
    ~CURRENT_FOLDER() { SetCurrentDirectoryA(previous_); }
    CURRENT_FOLDER(const CURRENT_FOLDER&) = delete;
    CURRENT_FOLDER& operator=(const CURRENT_FOLDER&) = delete;

private:
    char previous_[MAX_PATH] = "";
};

// A link to a folder elsewhere, made from the Unix side, for the object's
// lifetime: Wine shows it as a junction would be shown, a folder with
// FILE_ATTRIBUTE_REPARSE_POINT. Wine 8 makes no junction itself
// (FSCTL_SET_REPARSE_POINT is not supported, CreateSymbolicLinkA makes
// nothing), but it starts Unix programs.
class FOLDER_LINK {
public:
    FOLDER_LINK(const std::string& link, const std::string& target)
        : link_(link), unixLink_(UnixName(link)) {
        Run("Z:\\bin\\ln -s \"" + UnixName(target) + "\" \"" + unixLink_ + "\"");
        made_ = Await([this] {
            DWORD attributes = GetFileAttributesA(link_.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        });
    }
    ~FOLDER_LINK() {
        Run("Z:\\bin\\rm -f \"" + unixLink_ + "\"");
        Await([this] { return GetFileAttributesA(link_.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }
    FOLDER_LINK(const FOLDER_LINK&) = delete;
    FOLDER_LINK& operator=(const FOLDER_LINK&) = delete;
    bool Made() const { return made_; }

private:
    static std::string UnixName(const std::string& path) {
        typedef char*(CDECL * UNIX_FILE_NAME)(const WCHAR*);
        auto unixName = reinterpret_cast<UNIX_FILE_NAME>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        char* name = unixName ? unixName(wide) : nullptr;
        std::string result = name ? name : "";
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }
    // Wine may answer for a Unix program before it has ended.
    template <typename CONDITION> static bool Await(CONDITION condition) {
        for (int i = 0; i < 200 && !condition(); ++i)
            Sleep(50);
        return condition();
    }
    static void Run(std::string command) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return;
        OWNED_HANDLE thread(process.hThread), owned(process.hProcess);
        WaitForSingleObject(owned.Get(), 10000);
    }

    std::string link_;
    std::string unixLink_;
    bool made_ = false;
};
