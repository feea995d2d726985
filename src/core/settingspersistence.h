#pragma once

#include "core/registrystore.h"
#include "core/settings.h"

namespace pagorra {

// The section that holds the settings record.
QString settingsSection(); // "Pagorra"
// The section beside it that holds the record's Output choices.
QString outputSection(); // "Output"
// The section that holds the thumbnail cache's limit.
QString cacheSection(); // "Cache"

// The user's pictures folder without a trailing separator; empty when there is none.
QString picturesFolder();

// Fills every field from the store, in the record's order, then the Output choices from their
// own section, reading the file once. A field whose value cannot be read or converted takes its
// default and the later fields still load (all of them when the file cannot be read); the first
// such failure goes to the global error handler (routine "subLoadRegistrySettings") once, at
// the end. First removes what saves of killed processes left behind (a writable store only).
void loadRegistrySettings(RegistrySettings &settings, const RegistryStore &store);
// Writes every field, and the Output choices in their section, in one atomic replacement of
// the store's file. A failure goes to the global error handler (routine
// "subSaveRegistrySettings") and leaves the file as it was. Returns whether the values were
// written.
bool saveRegistrySettings(const RegistrySettings &settings, const RegistryStore &store);

// The same on the process's record and the default per-user file.
void loadRegistrySettings();
bool saveRegistrySettings();

} // namespace pagorra
