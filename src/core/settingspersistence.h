#pragma once

#include "core/registrystore.h"
#include "core/runtimeerror.h"
#include "core/settings.h"

#include <functional>
#include <optional>

namespace pagorra {

// The section that holds the settings record.
QString settingsSection(); // "Pagorra"
// The section beside it that holds the record's Output choices.
QString outputSection(); // "Output"
// The section beside them that holds the record's Input choices.
QString inputSection(); // "Input"
// The section of the record's caption and footer choices.
QString captionsSection(); // "Captions"
// The section that holds the thumbnail cache's limit.
QString cacheSection(); // "Cache"

// The user's pictures folder without a trailing separator; empty when there is none.
QString picturesFolder();

// The record as the store holds it: each section with its values' texts, in load and save
// order. A section added to the record is added here and in fillSettings(), and so reaches
// every copy of the settings (the store, job files) at once.
QList<RegistryStore::SectionValues> settingsSections(const RegistrySettings &settings);
// Gives the stored text of value `name` in `section`, or `defaultText` when there is none;
// throws RuntimeError for a value it holds but cannot give as text.
using StoredValueLookup =
    std::function<QString(const QString &section, const QString &name, const QString &defaultText)>;
// Fills every field, section by section, with the text `lookup` gives for it. A value that
// cannot be read or converted takes its default and the later ones still load; the first
// such failure is returned.
std::optional<RuntimeError> fillSettings(RegistrySettings &settings, const StoredValueLookup &lookup);

// Fills every field from the store, in the record's order, then the choices of the sections
// beside it (Output, Input, Captions), reading the file once. A field whose value cannot be read or converted takes its
// default and the later fields still load (all of them when the file cannot be read); the first
// such failure goes to the global error handler (routine "subLoadRegistrySettings") once, at
// the end. First removes what saves of killed processes left behind (a writable store only).
void loadRegistrySettings(RegistrySettings &settings, const RegistryStore &store);
// Writes every field, and the Output, Input and Captions choices in their sections, in one atomic replacement of
// the store's file. A failure goes to the global error handler (routine
// "subSaveRegistrySettings") and leaves the file as it was. Returns whether the values were
// written.
bool saveRegistrySettings(const RegistrySettings &settings, const RegistryStore &store);

// The same on the process's record and the default per-user file.
void loadRegistrySettings();
bool saveRegistrySettings();

} // namespace pagorra
