#include "testkit/outlook_double/fake_outlook.h"

#include <windows.h>

#include <oleauto.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>
#include <sstream>

#include "outlook/outlook_ids.h"

namespace fake_outlook {
namespace {

// --- the profile ------------------------------------------------------------

enum ITEM_KIND {
    KIND_MAIL = 0,
    KIND_APPOINTMENT = 1,
    KIND_CONTACT = 2,
    KIND_TASK = 3,
    KIND_NOTE = 5
};

struct ITEM {
    int kind = KIND_MAIL;
    std::string subject;
    bool marked = false;
    long marker = 0;
    std::string entryID;
    bool deleted = false;
};

// A hidden storage item: found by its entry ID, its subject or its class.
const char* const DEFAULT_STORAGE_CLASS = "IPM.Storage";
struct STORAGE_ITEM {
    std::string subject;
    std::string messageClass;
    std::string entryID;
};

struct FOLDER {
    std::string name;
    std::string path; // "\\Store\Folder"
    std::string entryID;
    std::string storeID;
    int itemType = KIND_MAIL;
    std::vector<std::unique_ptr<FOLDER>> folders;
    std::vector<std::shared_ptr<ITEM>> items;
    std::vector<std::string> views;
    std::vector<STORAGE_ITEM> storages;
};

struct FAULT {
    std::string member;
    std::string target; // "*" for any object
    HRESULT result = E_FAIL;
    int skip = 0;
    int times = -1; // -1: every time
    std::wstring description;
};

// Outlook itself turning busy, going away or hanging at a set call.
enum TRIGGER_KIND { TRIGGER_BUSY, TRIGGER_GONE, TRIGGER_HANG };
struct TRIGGER {
    TRIGGER_KIND kind = TRIGGER_BUSY;
    std::string member;
    int skip = 0;
    DWORD milliseconds = 0; // busy: for this long ...
    int calls = 0;          // ... or for this many calls
    HRESULT result = RPC_E_CALL_REJECTED;
};

struct PROFILE {
    std::vector<std::unique_ptr<FOLDER>> stores;
    std::vector<FAULT> faults;
    std::vector<TRIGGER> triggers;
    bool busy = false;
    DWORD busySince = 0;
    TRIGGER busyRule;
    bool gone = false;
    void (*endProcess)() = nullptr; // set where the fake is a process of its own
    void (*lastReleased)() = nullptr;
    bool served = false; // an Application was handed to a client
    bool writeBack = true;
    HANDLE hangRelease = nullptr;
    std::vector<std::string> journal;
    std::map<std::string, int> calls;
    int nextItem = 1;
    long live = 0;
    double invokeMicroseconds = 0;
    std::string dataFile; // written back after each change, when set
    std::string journalFile;
};

PROFILE& Profile() {
    static PROFILE profile;
    return profile;
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream stream(line);
    while (std::getline(stream, field, separator))
        fields.push_back(field);
    return fields;
}

int KindNumber(const std::string& kind) {
    if (kind == "calendar")
        return KIND_APPOINTMENT;
    if (kind == "tasks")
        return KIND_TASK;
    if (kind == "contacts")
        return KIND_CONTACT;
    if (kind == "notes")
        return KIND_NOTE;
    return KIND_MAIL;
}

const char* KindName(int kind) {
    switch (kind) {
    case KIND_APPOINTMENT:
        return "calendar";
    case KIND_TASK:
        return "tasks";
    case KIND_CONTACT:
        return "contacts";
    case KIND_NOTE:
        return "notes";
    default:
        return "mail";
    }
}

// The folder at "Store/Folder/Sub"; with create, missing folders are made.
FOLDER* FindPath(const std::string& path) {
    std::vector<std::string> parts = Split(path, '/');
    if (parts.empty())
        return nullptr;
    FOLDER* folder = nullptr;
    for (auto& store : Profile().stores)
        if (store->name == parts[0])
            folder = store.get();
    for (size_t i = 1; folder && i < parts.size(); ++i) {
        FOLDER* next = nullptr;
        for (auto& child : folder->folders)
            if (child->name == parts[i])
                next = child.get();
        folder = next;
    }
    return folder;
}

void ApplyLine(const std::string& raw) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty() || line[0] == '#')
        return;
    PROFILE& profile = Profile();
    std::vector<std::string> f = Split(line, '|');
    f.resize(8);
    const std::string& kind = f[0];
    if (kind == "store") {
        auto store = std::make_unique<FOLDER>();
        store->name = f[1];
        store->storeID = f[2];
        store->entryID = "ROOT-" + f[2];
        store->path = "\\\\" + f[1];
        profile.stores.push_back(std::move(store));
    } else if (kind == "folder") {
        size_t slash = f[1].rfind('/');
        FOLDER* parent = slash == std::string::npos ? nullptr : FindPath(f[1].substr(0, slash));
        if (!parent)
            return;
        auto folder = std::make_unique<FOLDER>();
        folder->name = f[1].substr(slash + 1);
        folder->path = parent->path + "\\" + folder->name;
        folder->storeID = parent->storeID;
        folder->itemType = KindNumber(f[2]);
        folder->entryID = f[3].empty() ? "F-" + f[1] : f[3];
        parent->folders.push_back(std::move(folder));
    } else if (kind == "appointment" || kind == "task" || kind == "mail") {
        FOLDER* folder = FindPath(f[1]);
        if (!folder)
            return;
        auto item = std::make_shared<ITEM>();
        item->kind = kind == "appointment" ? KIND_APPOINTMENT
                     : kind == "task"      ? KIND_TASK
                                           : KIND_MAIL;
        item->subject = f[2];
        if (!f[3].empty() && f[3] != "-") {
            item->marked = true;
            item->marker = strtol(f[3].c_str(), nullptr, 10);
        }
        item->entryID = "ITEM" + std::to_string(profile.nextItem++);
        folder->items.push_back(item);
    } else if (kind == "view") {
        if (FOLDER* folder = FindPath(f[1]))
            folder->views.push_back(f[2]);
    } else if (kind == "storage") {
        if (FOLDER* folder = FindPath(f[1]))
            folder->storages.push_back({f[2], f[3].empty() ? DEFAULT_STORAGE_CLASS : f[3],
                                        "STORAGE" + std::to_string(profile.nextItem++)});
    } else if (kind == "fault") {
        FAULT fault;
        fault.member = f[1];
        fault.target = f[2].empty() ? "*" : f[2];
        fault.result = static_cast<HRESULT>(strtoul(f[3].c_str(), nullptr, 0));
        fault.skip = atoi(f[4].c_str());
        fault.times = f[5].empty() ? -1 : atoi(f[5].c_str());
        fault.description.assign(f[6].begin(), f[6].end());
        profile.faults.push_back(fault);
    } else if (kind == "writeback" && f[1] == "no") {
        profile.writeBack = false;
    } else if (kind == "busy" || kind == "gone" || kind == "hang") {
        TRIGGER trigger;
        trigger.kind = kind == "busy" ? TRIGGER_BUSY : kind == "gone" ? TRIGGER_GONE : TRIGGER_HANG;
        trigger.member = f[1];
        trigger.skip = atoi(f[2].c_str());
        trigger.milliseconds = strtoul(f[3].c_str(), nullptr, 10);
        if (!f[4].empty())
            trigger.result = static_cast<HRESULT>(strtoul(f[4].c_str(), nullptr, 0));
        trigger.calls = atoi(f[5].c_str());
        profile.triggers.push_back(trigger);
    }
}

std::string StorePath(const FOLDER& folder) {
    // "\\Store\A\B" -> "Store/A/B"
    std::string path = folder.path.substr(2);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

void DumpFolder(const FOLDER& folder, std::ostringstream& out, bool root) {
    std::string path = StorePath(folder);
    if (root)
        out << "store|" << folder.name << "|" << folder.storeID << "\n";
    else
        out << "folder|" << path << "|" << KindName(folder.itemType) << "|" << folder.entryID
            << "\n";
    for (auto& item : folder.items) {
        if (item->deleted)
            continue;
        const char* kind = item->kind == KIND_APPOINTMENT ? "appointment"
                           : item->kind == KIND_TASK      ? "task"
                                                          : "mail";
        out << kind << "|" << path << "|" << item->subject << "|";
        if (item->marked)
            out << item->marker;
        else
            out << "-";
        out << "\n";
    }
    for (auto& view : folder.views)
        out << "view|" << path << "|" << view << "\n";
    for (auto& storage : folder.storages) {
        out << "storage|" << path << "|" << storage.subject;
        if (storage.messageClass != DEFAULT_STORAGE_CLASS)
            out << "|" << storage.messageClass;
        out << "\n";
    }
    for (auto& child : folder.folders)
        DumpFolder(*child, out, false);
}

void WriteData() {
    PROFILE& profile = Profile();
    if (profile.dataFile.empty())
        return;
    std::string text = Dump();
    HANDLE file = CreateFileA(profile.dataFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void Changed() {
    if (Profile().writeBack)
        WriteData();
}

void Record(const std::string& label, const std::string& member) {
    PROFILE& profile = Profile();
    std::string line = label + "." + member;
    profile.journal.push_back(line);
    ++profile.calls[member];
    if (!profile.journalFile.empty()) {
        HANDLE file = CreateFileA(profile.journalFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            line += "\r\n";
            DWORD written = 0;
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
        }
    }
}

// The fault rule that strikes this call, if any.
const FAULT* Strike(const std::string& member, const std::string& target) {
    for (FAULT& fault : Profile().faults) {
        if (_stricmp(fault.member.c_str(), member.c_str()) != 0)
            continue;
        if (fault.target != "*" && fault.target != target)
            continue;
        if (fault.skip > 0) {
            --fault.skip;
            continue;
        }
        if (fault.times == 0)
            continue;
        if (fault.times > 0)
            --fault.times;
        return &fault;
    }
    return nullptr;
}

// While Outlook is busy: the rule's answer for one more call; S_OK once the
// busy spell is over.
HRESULT BusyRefusal() {
    PROFILE& profile = Profile();
    if (profile.busy) {
        TRIGGER& rule = profile.busyRule;
        bool over = rule.calls > 0 ? rule.calls-- == 0
                                   : GetTickCount() - profile.busySince >= rule.milliseconds;
        if (!over)
            return rule.result;
        profile.busy = false;
    }
    return S_OK;
}

// What Outlook answers before it looks at a call: busy (the call rejected,
// never executed), gone (the server unavailable; a process of its own ends
// there and then) or nothing for ever. Member is empty for a name lookup.
HRESULT Refusal(const std::string& member = std::string()) {
    PROFILE& profile = Profile();
    for (TRIGGER& trigger : profile.triggers) {
        if (member.empty() || _stricmp(trigger.member.c_str(), member.c_str()) != 0 ||
            trigger.skip-- != 0)
            continue;
        if (trigger.kind == TRIGGER_BUSY) {
            Record("Outlook", "Busy");
            profile.busy = true;
            profile.busySince = GetTickCount();
            profile.busyRule = trigger;
        } else if (trigger.kind == TRIGGER_GONE) {
            Record("Outlook", "Gone");
            if (profile.endProcess)
                profile.endProcess();
            profile.gone = true;
        } else {
            Record("Outlook", "Hang");
            if (!profile.hangRelease)
                profile.hangRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            WaitForSingleObject(profile.hangRelease, INFINITE);
        }
    }
    if (profile.gone)
        return HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
    return BusyRefusal();
}

// --- the objects ------------------------------------------------------------

std::string Narrow(BSTR text) {
    std::string narrow;
    for (const wchar_t* c = text; c && *c; ++c)
        narrow += static_cast<char>(*c);
    return narrow;
}

BSTR Wide(const std::string& text) {
    std::wstring wide(text.begin(), text.end());
    return SysAllocString(wide.c_str());
}

// Each interface numbers its members from its own type information, as
// Outlook's do: the same name has a different DISPID on another interface,
// and a member the interface lacks is unknown there.
struct MEMBER {
    const wchar_t* name;
    bool property;
};
const MEMBER APPLICATION_MEMBERS[] = {{L"GetNamespace", false}, {L"Name", true}};
const MEMBER NAMESPACE_MEMBERS[] = {
    {L"GetDefaultFolder", false}, {L"GetFolderFromID", false}, {L"Folders", true}, {L"Type", true}};
const MEMBER FOLDERS_MEMBERS[] = {{L"Count", true}, {L"Item", false}};
const MEMBER FOLDER_MEMBERS[] = {
    {L"Name", true},    {L"FolderPath", true},      {L"EntryID", true},
    {L"StoreID", true}, {L"DefaultItemType", true}, {L"Folders", true},
    {L"Items", true},   {L"Views", true},           {L"GetStorage", false}};
const MEMBER ITEMS_MEMBERS[] = {{L"Count", true}, {L"Item", false}, {L"Restrict", false}};
const MEMBER ITEM_MEMBERS[] = {{L"EntryID", true}, {L"Subject", true}, {L"Delete", false}};
const MEMBER VIEWS_MEMBERS[] = {{L"Count", true}, {L"Item", false}};
const MEMBER VIEW_MEMBERS[] = {{L"Name", true}, {L"Delete", false}};

struct MEMBER_TABLE {
    const MEMBER* members;
    int count;
    DISPID first;
};
#define ORVALITH_TABLE(members, first)                                                             \
    { members, sizeof members / sizeof members[0], first }
// By OBJECT_KIND; the storage item shares the view's members under its own numbers.
const MEMBER_TABLE MEMBER_TABLES[] = {
    ORVALITH_TABLE(APPLICATION_MEMBERS, 0x110), ORVALITH_TABLE(NAMESPACE_MEMBERS, 0x2100),
    ORVALITH_TABLE(FOLDERS_MEMBERS, 0x50),      ORVALITH_TABLE(FOLDER_MEMBERS, 0x3000),
    ORVALITH_TABLE(ITEMS_MEMBERS, 0x60),        ORVALITH_TABLE(ITEM_MEMBERS, 0xF000),
    ORVALITH_TABLE(VIEWS_MEMBERS, 0x70),        ORVALITH_TABLE(VIEW_MEMBERS, 0x190),
    ORVALITH_TABLE(VIEW_MEMBERS, 0xFA00)};
#undef ORVALITH_TABLE

// Each member is found only when called as what it is (or as either).
bool CalledAsItIs(const MEMBER& member, WORD kind) {
    return (kind & (member.property ? DISPATCH_PROPERTYGET : DISPATCH_METHOD)) != 0;
}

} // namespace

std::vector<MEMBER_ID> Members(const IID& iid) {
    const IID* const byKind[] = {&IID__Application, &IID__NameSpace, &IID__Folders,
                                 &IID_MAPIFolder,   &IID__Items,     &IID__AppointmentItem,
                                 &IID__Views,       &IID_View,       &IID__StorageItem};
    std::vector<MEMBER_ID> members;
    for (size_t kind = 0; kind < sizeof byKind / sizeof byKind[0]; ++kind) {
        const MEMBER_TABLE& table = MEMBER_TABLES[kind];
        bool task = IsEqualIID(iid, IID__TaskItem) && byKind[kind] == &IID__AppointmentItem;
        if (IsEqualIID(iid, *byKind[kind]) || task)
            for (int m = 0; m < table.count; ++m)
                members.push_back(
                    {table.members[m].name, table.first + m, table.members[m].property});
    }
    return members;
}

namespace {

enum OBJECT_KIND {
    APPLICATION,
    NAMESPACE,
    FOLDERS,
    FOLDER_OBJECT,
    ITEMS,
    ITEM_OBJECT,
    VIEWS,
    VIEW,
    STORAGE
};

struct CALL_ERROR {
    HRESULT result;
    std::wstring description;
};
[[noreturn]] void Fail(HRESULT result, const wchar_t* description) {
    throw CALL_ERROR{result, description};
}

class FAKE_OBJECT : public IDispatch {
public:
    FAKE_OBJECT(OBJECT_KIND kind, FOLDER* folder) : kind_(kind), folder_(folder) {
        ++Profile().live;
    }
    virtual ~FAKE_OBJECT() {
        // A process of its own ends when the last object a client held goes
        // (the one left is the running Application the table holds).
        PROFILE& profile = Profile();
        if (--profile.live <= 1 && profile.lastReleased && profile.served)
            profile.lastReleased();
    }

    OBJECT_KIND kind_;
    FOLDER* folder_;
    std::vector<FOLDER*> children_;            // FOLDERS
    std::vector<std::shared_ptr<ITEM>> items_; // ITEMS
    std::shared_ptr<ITEM> item_;               // ITEM_OBJECT
    std::string name_;                         // VIEW, STORAGE
    std::string storageID_;                    // STORAGE; empty until saved

    const IID& Iid() const {
        switch (kind_) {
        case APPLICATION:
            return IID__Application;
        case NAMESPACE:
            return IID__NameSpace;
        case FOLDERS:
            return IID__Folders;
        case FOLDER_OBJECT:
            return IID_MAPIFolder;
        case ITEMS:
            return IID__Items;
        case ITEM_OBJECT:
            return item_->kind == KIND_APPOINTMENT ? IID__AppointmentItem
                   : item_->kind == KIND_TASK      ? IID__TaskItem
                                                   : IID_IDispatch;
        case VIEWS:
            return IID__Views;
        case VIEW:
            return IID_View;
        default:
            return IID__StorageItem;
        }
    }
    std::string Label() const {
        static const char* const names[] = {"Application", "NameSpace", "Folders",
                                            "Folder",      "Items",     "Item",
                                            "Views",       "View",      "StorageItem"};
        std::string label = names[kind_];
        std::string target = Target();
        if (!target.empty())
            label += "(" + target + ")";
        return label;
    }
    std::string Target() const {
        if (kind_ == ITEM_OBJECT)
            return item_->subject;
        if (kind_ == VIEW || kind_ == STORAGE)
            return name_;
        return folder_ ? folder_->name : std::string();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, Iid())) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    const MEMBER_TABLE& Members() const { return MEMBER_TABLES[kind_]; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ++Profile().calls["GetIDsOfNames"];
        if (HRESULT refused = Refusal())
            return refused;
        const MEMBER_TABLE& table = Members();
        HRESULT result = S_OK;
        for (UINT n = 0; n < count; ++n) {
            ids[n] = DISPID_UNKNOWN;
            for (int m = 0; n == 0 && m < table.count; ++m)
                if (_wcsicmp(names[n], table.members[m].name) == 0)
                    ids[n] = table.first + m;
            if (ids[n] == DISPID_UNKNOWN)
                result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT*) override {
        const MEMBER_TABLE& table = Members();
        int index = id - table.first;
        if (index < 0 || index >= table.count || !CalledAsItIs(table.members[index], kind))
            return DISP_E_MEMBERNOTFOUND;
        std::wstring wideMember = table.members[index].name;
        std::string member(wideMember.begin(), wideMember.end());
        // Outlook busy, gone or hanging answers before it looks at the call.
        if (HRESULT refused = Refusal(member))
            return refused;
        LARGE_INTEGER start, end, frequency;
        QueryPerformanceCounter(&start);
        Record(Label(), member);
        HRESULT answer = S_OK;
        try {
            if (const FAULT* fault = Strike(member, Target()))
                Fail(fault->result, fault->description.c_str());
            std::vector<VARIANT*> arguments;
            for (UINT n = parameters ? parameters->cArgs : 0; n > 0; --n)
                arguments.push_back(&parameters->rgvarg[n - 1]);
            VARIANT ignored;
            VariantInit(&ignored);
            Call(member, arguments, result ? result : &ignored);
            VariantClear(&ignored);
        } catch (const CALL_ERROR& error) {
            if (exception) {
                memset(exception, 0, sizeof *exception);
                exception->scode = error.result;
                exception->bstrSource = SysAllocString(L"Microsoft Outlook");
                if (!error.description.empty())
                    exception->bstrDescription = SysAllocString(error.description.c_str());
            }
            answer = DISP_E_EXCEPTION;
        }
        QueryPerformanceCounter(&end);
        QueryPerformanceFrequency(&frequency);
        Profile().invokeMicroseconds +=
            (end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
        return answer;
    }

private:
    static std::string Text(VARIANT* argument) {
        if (!argument || argument->vt != VT_BSTR)
            Fail(DISP_E_TYPEMISMATCH, L"");
        return Narrow(argument->bstrVal);
    }
    static long Number(VARIANT* argument) {
        if (!argument || argument->vt != VT_I4)
            Fail(DISP_E_TYPEMISMATCH, L"");
        return argument->lVal;
    }
    static void SetText(VARIANT* result, const std::string& text) {
        result->vt = VT_BSTR;
        result->bstrVal = Wide(text);
    }
    static void SetNumber(VARIANT* result, long number) {
        result->vt = VT_I4;
        result->lVal = number;
    }
    static void SetObject(VARIANT* result, FAKE_OBJECT* object) {
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        object->AddRef();
    }
    static FAKE_OBJECT* FolderObject(FOLDER* folder) {
        return new FAKE_OBJECT(FOLDER_OBJECT, folder);
    }
    static FOLDER* FindById(FOLDER* folder, const std::string& entryID) {
        if (_stricmp(folder->entryID.c_str(), entryID.c_str()) == 0)
            return folder;
        for (auto& child : folder->folders)
            if (FOLDER* found = FindById(child.get(), entryID))
                return found;
        return nullptr;
    }
    static FOLDER* FirstOfKind(FOLDER* folder, int itemType) {
        if (folder->itemType == itemType && folder->path.find('\\', 2) != std::string::npos)
            return folder;
        for (auto& child : folder->folders)
            if (FOLDER* found = FirstOfKind(child.get(), itemType))
                return found;
        return nullptr;
    }
    void Prune() {
        for (size_t i = 0; i < items_.size();)
            if (items_[i]->deleted)
                items_.erase(items_.begin() + i);
            else
                ++i;
    }

    const wchar_t* NotFound() const {
        return L"The attempted operation failed. An object could not be found.";
    }

    void Call(const std::string& member, std::vector<VARIANT*>& arguments, VARIANT* result) {
        VARIANT* first = arguments.size() > 0 ? arguments[0] : nullptr;
        VARIANT* second = arguments.size() > 1 ? arguments[1] : nullptr;
        PROFILE& profile = Profile();
        FAKE_OBJECT* made = nullptr;
        switch (kind_) {
        case APPLICATION:
            if (member == "GetNamespace" && Text(first) == "MAPI")
                made = new FAKE_OBJECT(NAMESPACE, nullptr);
            break;
        case NAMESPACE:
            if (member == "Type") {
                SetText(result, "MAPI");
                return;
            }
            if (member == "Folders") {
                made = new FAKE_OBJECT(FOLDERS, nullptr);
                for (auto& store : profile.stores)
                    made->children_.push_back(store.get());
            } else if (member == "GetDefaultFolder") {
                long kind = Number(first);
                int itemType = kind == 9 ? KIND_APPOINTMENT : kind == 13 ? KIND_TASK : -1;
                FOLDER* folder = itemType < 0 || profile.stores.empty()
                                     ? nullptr
                                     : FirstOfKind(profile.stores[0].get(), itemType);
                if (!folder)
                    Fail(0x8004010F, NotFound());
                made = FolderObject(folder);
            } else if (member == "GetFolderFromID") {
                // A store ID names the store to look in; Outlook takes an
                // empty or missing one as any store.
                std::string entryID = Text(first);
                std::string storeID =
                    second && second->vt == VT_BSTR ? Narrow(second->bstrVal) : "";
                for (auto& store : profile.stores)
                    if (FOLDER* folder = FindById(store.get(), entryID))
                        if (storeID.empty() ||
                            _stricmp(storeID.c_str(), folder->storeID.c_str()) == 0)
                            made = FolderObject(folder);
                if (!made)
                    Fail(0x8004010F, NotFound());
            }
            break;
        case FOLDERS:
            if (member == "Count") {
                SetNumber(result, static_cast<long>(children_.size()));
                return;
            }
            if (member == "Item") {
                long index = Number(first);
                if (index < 1 || index > static_cast<long>(children_.size()))
                    Fail(0x80020009 /* DISP_E_EXCEPTION */ + 0, L"Array index out of bounds.");
                made = FolderObject(children_[index - 1]);
            }
            break;
        case FOLDER_OBJECT:
            if (member == "Name")
                return SetText(result, folder_->name);
            if (member == "FolderPath")
                return SetText(result, folder_->path);
            if (member == "EntryID")
                return SetText(result, folder_->entryID);
            if (member == "StoreID")
                return SetText(result, folder_->storeID);
            if (member == "DefaultItemType")
                return SetNumber(result, folder_->itemType);
            if (member == "Folders") {
                made = new FAKE_OBJECT(FOLDERS, folder_);
                for (auto& child : folder_->folders)
                    made->children_.push_back(child.get());
            } else if (member == "Items") {
                made = new FAKE_OBJECT(ITEMS, folder_);
                made->items_ = folder_->items;
                made->Prune();
            } else if (member == "Views") {
                made = new FAKE_OBJECT(VIEWS, folder_);
            } else if (member == "GetStorage") {
                // By entry ID (0), subject (1) or message class (2); by
                // subject or class, one not found is a new, unsaved item.
                std::string identifier = Text(first);
                long type = Number(second);
                if (type < 0 || type > 2)
                    Fail(E_INVALIDARG, L"The parameter is incorrect.");
                const STORAGE_ITEM* found = nullptr;
                for (auto& storage : folder_->storages) {
                    const std::string& key = type == 0   ? storage.entryID
                                             : type == 1 ? storage.subject
                                                         : storage.messageClass;
                    if (key == identifier && !found)
                        found = &storage;
                }
                if (!found && type == 0)
                    Fail(0x80040107, L"Could not open the item. Try again.");
                made = new FAKE_OBJECT(STORAGE, folder_);
                made->name_ = found ? found->subject : type == 1 ? identifier : "";
                made->storageID_ = found ? found->entryID : "";
            }
            break;
        case ITEMS:
            Prune();
            if (member == "Count")
                return SetNumber(result, static_cast<long>(items_.size()));
            if (member == "Restrict") {
                std::string filter = Text(first);
                if (filter != "[@CreatedByOrvalith] >= 0")
                    Fail(0x80020009, L"Cannot parse condition. Error at \"[\".");
                made = new FAKE_OBJECT(ITEMS, folder_);
                for (auto& item : items_)
                    if (item->marked && item->marker >= 0)
                        made->items_.push_back(item);
            } else if (member == "Item") {
                std::shared_ptr<ITEM> found;
                if (first && first->vt == VT_BSTR) {
                    std::string subject = Narrow(first->bstrVal);
                    for (auto& item : items_)
                        if (item->subject == subject && !found)
                            found = item;
                } else {
                    long index = Number(first);
                    if (index >= 1 && index <= static_cast<long>(items_.size()))
                        found = items_[index - 1];
                }
                if (!found)
                    Fail(0x8004010F, NotFound());
                made = new FAKE_OBJECT(ITEM_OBJECT, folder_);
                made->item_ = found;
            }
            break;
        case ITEM_OBJECT:
            if (member == "EntryID")
                return SetText(result, item_->entryID);
            if (member == "Subject")
                return SetText(result, item_->subject);
            if (member == "Delete") {
                if (item_->deleted)
                    Fail(0x8004010F, NotFound());
                item_->deleted = true;
                for (size_t i = 0; i < folder_->items.size(); ++i)
                    if (folder_->items[i] == item_)
                        folder_->items.erase(folder_->items.begin() + i);
                Changed();
                return;
            }
            break;
        case VIEWS:
            if (member == "Item") {
                std::string name = Text(first);
                for (auto& view : folder_->views)
                    if (view == name) {
                        made = new FAKE_OBJECT(VIEW, folder_);
                        made->name_ = name;
                    }
                if (!made)
                    Fail(0x80020009, L"Array index out of bounds.");
            }
            break;
        case VIEW:
        case STORAGE:
            if (member == "Name")
                return SetText(result, name_);
            if (member == "Delete") {
                auto& views = folder_->views;
                auto& storages = folder_->storages;
                for (size_t i = 0; kind_ == VIEW && i < views.size(); ++i)
                    if (views[i] == name_) {
                        views.erase(views.begin() + i);
                        break;
                    }
                // An unsaved storage item has nothing to remove.
                for (size_t i = 0; kind_ == STORAGE && i < storages.size(); ++i)
                    if (storages[i].entryID == storageID_) {
                        storages.erase(storages.begin() + i);
                        break;
                    }
                Changed();
                return;
            }
            break;
        }
        if (!made)
            Fail(DISP_E_MEMBERNOTFOUND, L"");
        SetObject(result, made);
    }

    LONG references_ = 0;
};

// --- the class ----------------------------------------------------------------

class FACTORY : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        Record("Class", "CreateInstance");
        Profile().served = true;
        if (const FAULT* fault = Strike("CreateInstance", "*"))
            return fault->result;
        FAKE_OBJECT* application = new FAKE_OBJECT(APPLICATION, nullptr);
        application->AddRef();
        HRESULT result = application->QueryInterface(iid, out);
        application->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

FACTORY factory;
DWORD registration = 0;
DWORD activeRegistration = 0;

} // namespace

void Load(const std::string& text) {
    PROFILE& profile = Profile();
    // Objects still held may point into the old profile: it is kept, unused.
    static std::vector<std::unique_ptr<FOLDER>> retired;
    for (auto& store : profile.stores)
        retired.push_back(std::move(store));
    profile.stores.clear();
    profile.faults.clear();
    profile.triggers.clear();
    if (profile.hangRelease)
        ResetEvent(profile.hangRelease);
    profile.writeBack = true;
    profile.busy = false;
    profile.gone = false;
    profile.nextItem = 1;
    ClearJournal();
    Add(text);
}

void Add(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        ApplyLine(line);
}

std::string Dump() {
    std::ostringstream out;
    for (auto& store : Profile().stores)
        DumpFolder(*store, out, true);
    return out.str();
}

void Register() {
    if (!registration)
        CoRegisterClassObject(CLSID_OutlookApplication, &factory, CLSCTX_INPROC_SERVER,
                              REGCLS_MULTIPLEUSE, &registration);
}

void Revoke() {
    if (registration)
        CoRevokeClassObject(registration);
    registration = 0;
}

void SetRunning(bool running) {
    if (running && !activeRegistration) {
        IDispatch* application = new FAKE_OBJECT(APPLICATION, nullptr);
        application->AddRef();
        RegisterActiveObject(application, CLSID_OutlookApplication, ACTIVEOBJECT_STRONG,
                             &activeRegistration);
        application->Release();
    } else if (!running && activeRegistration) {
        RevokeActiveObject(activeRegistration, nullptr);
        activeRegistration = 0;
    }
}

long LiveObjects() {
    return Profile().live;
}

const std::vector<std::string>& Journal() {
    return Profile().journal;
}

void ClearJournal() {
    Profile().journal.clear();
    Profile().calls.clear();
    Profile().invokeMicroseconds = 0;
}

int Calls(const std::string& member) {
    auto found = Profile().calls.find(member);
    return found == Profile().calls.end() ? 0 : found->second;
}

double InvokeMicroseconds() {
    return Profile().invokeMicroseconds;
}

void ServeAsProcess(void (*lastReleased)(), void (*endProcess)()) {
    Profile().lastReleased = lastReleased;
    Profile().endProcess = endProcess;
}

void WriteBack() {
    WriteData();
}

void RecordProcess(const std::string& what) {
    Record("Process", what);
}

HRESULT BusyAnswer() {
    HRESULT answer = BusyRefusal();
    if (FAILED(answer))
        Record("Outlook", "Busy.Filter");
    return answer;
}

void EndHang() {
    if (Profile().hangRelease)
        SetEvent(Profile().hangRelease);
}

namespace {
std::string Environment(const char* name) {
    char value[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}
} // namespace

void LoadForMachineFromEnvironment(HMODULE module) {
    std::string data = Environment("ORVALITH_FAKE_OUTLOOK_DATA");
    if (data.empty()) {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(module, path, sizeof path);
        data = path;
        data = data.substr(0, data.find_last_of('\\') + 1) + "fake_outlook.txt";
    }
    LoadForMachine(data, Environment("ORVALITH_FAKE_OUTLOOK_JOURNAL"));
}

// The profile from dataFile, the journal to journalFile.
void LoadForMachine(const std::string& dataFile, const std::string& journalFile) {
    HANDLE file = CreateFileA(dataFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string text;
    if (file != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
            text.append(buffer, read);
        CloseHandle(file);
    }
    Load(text);
    Profile().dataFile = dataFile;
    Profile().journalFile = journalFile;
}

HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out) {
    if (!IsEqualCLSID(classId, CLSID_OutlookApplication)) {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(iid, out);
}

} // namespace fake_outlook
