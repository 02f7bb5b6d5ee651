// The four entry points of the library as an in-process component server, exported with C
// linkage so that a host finds them by name after loading the shared library:
//
//  - DllGetClassObject(progid, &factory): hands out the korvane::ClassFactory of a class.
//    The factory belongs to the library and stays valid while the library is loaded; the caller
//    neither frees nor releases it. The objects it creates belong to the caller.
//  - DllCanUnloadNow(): 0 when no object of the library is alive (the host may unload), 1 when
//    some object still is.
//  - DllRegisterServer(file) / DllUnregisterServer(file): add the library's classes to, or
//    remove them from, the host's registration file, a JSON object that maps each programmatic
//    identifier to its entry:
//        { "Korvane.clsCpml": { "library": "/abs/path/libkorvane.so.0", "kind": "record",
//                               "interfaces": [], "events": "none" }, ... }
//    Entries of other libraries are kept. Registering is idempotent; unregistering removes the
//    entries whose library is this library file and nothing else. A missing file is created
//    by registering (unregistering a missing file succeeds and creates nothing); an empty file
//    counts as empty. The file is replaced atomically, so a reader sees the old or the new
//    content. A file that is not a JSON object is refused and left as it is.
//
// Results follow the host's status codes: 0 for success, a negative code for failure.
#ifndef KORVANE_REGISTRATION_ENTRY_POINTS_H_
#define KORVANE_REGISTRATION_ENTRY_POINTS_H_

#include <string>

#include "registration/registry.h"

#define KORVANE_EXPORT __attribute__((visibility("default")))

namespace korvane {

inline constexpr int kSOk = 0;
inline constexpr int kSFalse = 1;
// The progid names no class of this library.
inline constexpr int kClassENotAvailable = static_cast<int>(0x80040111u);
// A required pointer argument is null.
inline constexpr int kEPointer = static_cast<int>(0x80004003u);
// The registration file name is null or empty.
inline constexpr int kEInvalidArg = static_cast<int>(0x80070057u);
// The registration file exists but is not a JSON object.
inline constexpr int kEInvalidData = static_cast<int>(0x8007000Du);
// The registration file could not be read or written.
inline constexpr int kSelfRegEClass = static_cast<int>(0x80040201u);
// The library could not tell its own file name.
inline constexpr int kEFail = static_cast<int>(0x80004005u);

// Absolute file name of the loaded library, as registered; empty when it cannot be told.
std::string LibraryFile();

}  // namespace korvane

extern "C" {

// REQUIRES: factory is not null. On success *factory is a korvane::ClassFactory*; otherwise
// it is set to null.
KORVANE_EXPORT int DllGetClassObject(const char* progid, void** factory);
KORVANE_EXPORT int DllCanUnloadNow(void);
KORVANE_EXPORT int DllRegisterServer(const char* registration_file);
KORVANE_EXPORT int DllUnregisterServer(const char* registration_file);

}  // extern "C"

#endif  // KORVANE_REGISTRATION_ENTRY_POINTS_H_
