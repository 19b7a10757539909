// The add-in's manifests in the user's click-once component store, deleted
// when the add-in's own uninstall could not remove them.
#pragma once

#include "foundation/strings.h"

// The store's description of deployed items and components, under
// HKEY_CURRENT_USER.
extern const char* const CLICKONCE_STORE_KEY;
extern const char* const CLICKONCE_MARKS_KEY;
extern const char* const CLICKONCE_COMPONENTS_KEY;

// Appends to names the name of every direct subkey of keyPath (under
// HKEY_CURRENT_USER) whose "identity" begins with addInName, ignoring case,
// in index order; duplicates of names already in the list are appended too.
void FindStoreEntries(STRING_VECTOR& names, const char* keyPath, const STRING& addInName);

// The store's manifests folder for randomString, below localAppData; empty
// when the random string cannot name the store (fewer than 19 characters or
// a path character in it) or localAppData is not an absolute path.
STRING ClickOnceManifestsFolder(const STRING& localAppData, const STRING& randomString);

// Deletes the manifest of every store item and component of the add-in.
// The store lies below LOCALAPPDATA or, where that is not set (Windows XP),
// below the profile's local application-data folder (its parent before
// Windows 6.0); with neither it is not touched.
// Whatever cannot be found or deleted is passed over; a manifest the
// program cannot reach (files_left.h) is counted as left.
void RemoveClickOnceManifests(const STRING& addInName);
