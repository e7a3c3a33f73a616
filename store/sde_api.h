// The bound entry points of the table engine. Private to the table layer:
// store/*.cpp and the store tests include it, nothing above the layer does.
#pragma once

#include "sde50.h"

struct SdeApi {
#define SDE_ENTRY(name) decltype(&::name) name = nullptr;
#include "sde50_entries.inc"
#undef SDE_ENTRY
};

// The bound entry points; only valid after SdeLibrary::load succeeded.
const SdeApi& sde();
