// The add-in's manifests leave the click-once store; nothing else does.
#include <gtest/gtest.h>

#include "addins/clickonce_store.h"
#include "testkit/addin_fixtures.h"

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

TEST(RemoveClickOnceManifests, DeletesTheAddInsManifestsOnlyAndOnlyInTheManifestsFolder) {
    CLICKONCE_STORE store;
    store.AddMark("orva..vsto_1", "Orvalith Outlook Add-In.vsto, Version=5");
    store.AddComponent("orva..vsto_1", "Orvalith Outlook Add-In.vsto, Version=5");
    store.AddComponent("orva..dll_2", "orvalith outlook add-in.dll, Version=5");
    store.AddComponent("othe..dll_3", "Other Add-In.dll, Version=1");
    for (const char* name : {"orva..vsto_1", "orva..dll_2", "othe..dll_3", "unlisted"})
        store.AddManifest(name);
    // Files beside and above the manifests folder, named as a user-written key
    // could reach them: subkey names cannot hold a backslash, but "/" and "..".
    const std::string outside = store.ManifestsFolder() + "\\..\\victim.manifest";
    const std::string inner = store.ManifestsFolder() + "\\sub\\inner.manifest";
    ASSERT_TRUE(CreateDirectoryA((store.ManifestsFolder() + "\\sub").c_str(), nullptr));
    CreateTestFile(outside);
    CreateTestFile(inner);
    for (const char* name : {"..", "sub/inner", "../victim", "C:victim"})
        store.AddMark(name, "Orvalith Outlook Add-In.vsto");

    RemoveClickOnceManifests(ADDIN_NAME);

    EXPECT_FALSE(store.HasManifest("orva..vsto_1"));
    EXPECT_FALSE(store.HasManifest("orva..dll_2"));
    EXPECT_TRUE(store.HasManifest("othe..dll_3"));
    EXPECT_TRUE(store.HasManifest("unlisted"));
    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(FileExists(inner));
    // The store's own description stays.
    EXPECT_TRUE(
        RegKeyPresent(HKEY_CURRENT_USER, std::string(CLICKONCE_MARKS_KEY) + "\\orva..vsto_1"));
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
