// Loading the table engine library by name at start. Only the table layer's
// own sources call the engine (through sde_api.h, which no other folder
// sees); the rest of the program knows only whether the library loaded.
#pragma once

#include <string>

class SdeLibrary {
public:
    // Loads libsde50.so: from `path` when given, else the program's own
    // folder first, then the installed program's private library folder
    // (../lib/<multiarch>/caisse/), then the usual library search. Binds every entry point
    // and calls sx_SetStringType(1). On failure returns false with the
    // reason in *why (the user is shown the fixed message).
    static bool load(std::string* why, const std::string& path = {});
    static void unload();
    static bool loaded();
};
