// The add-in's manifests leave the click-once store; nothing else does.
#include <gtest/gtest.h>

#include "addins/clickonce_store.h"
#include "tests/addins/addin_test_support.h"

namespace {

TEST(FindStoreEntries, MatchesIdentitiesThatBeginWithTheAddInNameInAnyCase) {
    CLICKONCE_STORE store;
    store.AddMark("a1", "Orvalith Outlook Add-In.vsto, Version=5.0.0.0, Culture=neutral");
    store.AddMark("a2", "ORVALITH OUTLOOK ADD-IN.dll, Version=5.0.0.0");
    store.AddMark("b1", "Other Add-In, Orvalith Outlook Add-In.vsto");
    store.AddMark("b2", "Orvalith Outlook Add");
    SetRegBinary(HKEY_CURRENT_USER, std::string(CLICKONCE_MARKS_KEY) + "\\a3", "identity",
                 std::string("orvalith outlook add-in.vsto\0junk", 34));

    STRING_VECTOR names;
    names.Add("earlier");
    FindStoreEntries(names, CLICKONCE_MARKS_KEY, ADDIN_NAME);
    EXPECT_EQ(names, (STRING_VECTOR{{"earlier", "a1", "a2", "a3"}}));

    FindStoreEntries(names, "Software\\OrvalithTests\\NoSuchKey", ADDIN_NAME);
    EXPECT_EQ(names.Count(), 4);
}

TEST(RemoveClickOnceManifests, DeletesTheAddInsManifestsOnly) {
    CLICKONCE_STORE store;
    store.AddMark("orva..vsto_1", "Orvalith Outlook Add-In.vsto, Version=5");
    store.AddComponent("orva..vsto_1", "Orvalith Outlook Add-In.vsto, Version=5");
    store.AddComponent("orva..dll_2", "orvalith outlook add-in.dll, Version=5");
    store.AddComponent("othe..dll_3", "Other Add-In.dll, Version=1");
    for (const char* name : {"orva..vsto_1", "orva..dll_2", "othe..dll_3", "unlisted"})
        store.AddManifest(name);

    RemoveClickOnceManifests(ADDIN_NAME);

    EXPECT_FALSE(store.HasManifest("orva..vsto_1"));
    EXPECT_FALSE(store.HasManifest("orva..dll_2"));
    EXPECT_TRUE(store.HasManifest("othe..dll_3"));
    EXPECT_TRUE(store.HasManifest("unlisted"));
    // The store's own description stays.
    EXPECT_TRUE(
        RegKeyPresent(HKEY_CURRENT_USER, std::string(CLICKONCE_MARKS_KEY) + "\\orva..vsto_1"));
}

TEST(RemoveClickOnceManifests, NamesThatLeaveTheManifestsFolderDeleteNothing) {
    CLICKONCE_STORE store;
    // Files beside and above the manifests folder, named as a user-written
    // key could reach them.
    std::string outside = store.ManifestsFolder() + "\\..\\victim.manifest";
    std::string sub = store.ManifestsFolder() + "\\sub";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    for (const std::string& path : {outside, sub + "\\inner.manifest"}) {
        OWNED_HANDLE file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.Valid()) << path;
    }
    // Subkey names cannot hold a backslash; a forward slash and ".." can.
    store.AddMark("..", "Orvalith Outlook Add-In.vsto");
    store.AddMark("sub/inner", "Orvalith Outlook Add-In.vsto");
    store.AddMark("../victim", "Orvalith Outlook Add-In.vsto");
    store.AddMark("C:victim", "Orvalith Outlook Add-In.vsto");

    RemoveClickOnceManifests(ADDIN_NAME);

    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(FileExists(sub + "\\inner.manifest"));
}

TEST(RemoveClickOnceManifests, AMissingOrShortRandomStringDeletesNothing) {
    CLICKONCE_STORE store;
    store.AddMark("orva..vsto_1", "Orvalith Outlook Add-In.vsto");
    store.AddManifest("orva..vsto_1");

    for (const char* randomString :
         {static_cast<const char*>(nullptr), "", "ABCDEFGH1JKLMNOPQR", "..\\..\\..\\..\\..\\..\\..",
          "ABCDEFGH1JK\\..\\..\\NOPQR2TUV"}) {
        store.SetRandomString(randomString);
        RemoveClickOnceManifests(ADDIN_NAME);
        EXPECT_TRUE(store.HasManifest("orva..vsto_1")) << (randomString ? randomString : "(none)");
    }
}

TEST(ClickOnceManifestsFolder, CutsTheRandomStringIntoTwoShortFolderNames) {
    EXPECT_EQ(ClickOnceManifestsFolder("C:\\L", "ABCDEFGH1JKLMNOPQR2TUV"),
              "C:\\L\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.TUV\\manifests");
    EXPECT_EQ(ClickOnceManifestsFolder("C:\\L\\", "ABCDEFGH1JKLMNOPQR2T"),
              "C:\\L\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.T\\manifests");
    EXPECT_EQ(ClickOnceManifestsFolder("C:\\L", "ABCDEFGH1JKLMNOPQR"), "");
    EXPECT_EQ(ClickOnceManifestsFolder("", "ABCDEFGH1JKLMNOPQR2TUV"), "");
}

} // namespace
