// The binding to the table engine library, loaded by name at start. The
// layer calls the engine only through sde(); nothing above this file sees
// the engine's own headers.
#pragma once

#include <string>

#include "store/engine/sde50.h"

struct SdeApi {
#define SDE_ENTRY(name) decltype(&::name) name = nullptr;
#include "store/sde_entries.inc"
#undef SDE_ENTRY
};

class SdeLibrary {
public:
    // Loads libsde50.so: from `path` when given, else the program's own
    // folder first, then the usual library search. Binds every entry point
    // and calls sx_SetStringType(1). On failure returns false with the
    // reason in *why (the user is shown the fixed message).
    static bool load(std::string* why, const std::string& path = {});
    static void unload();
    static bool loaded();
};

// The bound entry points; only valid after SdeLibrary::load succeeded.
const SdeApi& sde();
