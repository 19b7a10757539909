// The folders opened so far, by entry ID, for the rest of the run.
#pragma once

#include <map>
#include <string.h>

#include "outlook/dispatch.h"

class FOLDER_CACHE {
public:
    static const int capacity = 100;

    // Whether entryID has a slot; folder receives what the slot holds.
    bool Find(const STRING& entryID, DISPATCH_OBJECT& folder) const;
    // Keeps folder while slots are free; once full, nothing more is kept.
    void Add(const STRING& entryID, const DISPATCH_OBJECT& folder);
    int Count() const { return count_; }
    void Clear();

private:
    struct LESS_IGNORING_CASE {
        bool operator()(const STRING& left, const STRING& right) const {
            return _stricmp(left.c_str(), right.c_str()) < 0;
        }
    };
    std::map<STRING, int, LESS_IGNORING_CASE> index_;
    DISPATCH_OBJECT slots_[capacity];
    int count_ = 0;
};
