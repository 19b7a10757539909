#include "outlook/folder_cache.h"

bool FOLDER_CACHE::Find(const STRING& entryID, DISPATCH_OBJECT& folder) const {
    auto found = index_.find(entryID);
    if (found == index_.end())
        return false;
    folder = slots_[found->second];
    return true;
}

void FOLDER_CACHE::Add(const STRING& entryID, const DISPATCH_OBJECT& folder) {
    if (count_ >= capacity)
        return;
    index_[entryID] = count_;
    slots_[count_] = folder;
    ++count_;
}

void FOLDER_CACHE::Clear() {
    for (int slot = 0; slot < count_; ++slot)
        slots_[slot].Reset();
    count_ = 0;
    index_.clear();
}
