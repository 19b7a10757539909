// Entry point of every test program.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/application.h"
#include "foundation/resource_strings.h"

int main(int argc, char** argv) {
    // Test programs carry the product's resources, so strings and dialogs
    // load from the test program itself.
    SetResourceInstance(GetModuleHandleA(nullptr));
    Application.instance = GetModuleHandleA(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
