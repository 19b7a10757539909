#include "foundation/resource_strings.h"

namespace {
HINSTANCE resourceInstance = nullptr;
const int LOAD_BUFFER_SIZE = 1200;
} // namespace

void SetResourceInstance(HINSTANCE instance) {
    resourceInstance = instance;
}

HINSTANCE GetResourceInstance() {
    return resourceInstance;
}

STRING LoadStr(int id) {
    char buffer[LOAD_BUFFER_SIZE];
    int copied = LoadStringA(resourceInstance, static_cast<UINT>(id), buffer, sizeof(buffer));
    if (copied <= 0) {
        wsprintfA(buffer, "LoadStringID invalid RES_ID %d", id);
        return buffer;
    }
    return STRING(buffer, copied);
}
