// The kit's own folder and the files the launcher needs from it. The kit runs from wherever
// it was unpacked, so every path is taken from the launcher's own location, never from the
// current folder.
#pragma once

#include <string>

extern const wchar_t KIT_PROGRAM[];   // QuibTPCenter.exe, as in the release archive
extern const wchar_t KIT_LIBRARY[];   // the simulated QuibTPApi.dll
extern const wchar_t KIT_PADCTL[];    // padctl.exe
extern const wchar_t KIT_WALK[];      // the scenario the simulated pad plays
extern const wchar_t KIT_LAUNCHER[];  // TryQuibTPCenter.exe

// The folder of the running launcher, with a trailing backslash; empty when it cannot be told.
std::wstring KitFolder();

// The name of the first kit file missing from the folder, or nullptr when all are there.
const wchar_t* MissingKitFile(const std::wstring& folder);

// The name of the first file in the folder, other than the kit's own library, that the loader
// would take for a DLL the program or Windows asks for: the program looks in its own folder
// before the system's for every DLL that is not one of Windows' known DLLs, so such a file
// would run inside it. Empty when there is none; also empty, with *error set, when the
// folder cannot be looked through to its end.
std::wstring ForeignLibrary(const std::wstring& folder, unsigned long* error);

// True when the folder (or one above it) is named like the temporary folder of an archive
// tool: the launcher was opened inside the archive and unpacked alone.
bool LooksInsideArchive(const std::wstring& folder);
