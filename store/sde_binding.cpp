#include "store/sde_binding.h"
#include "store/sde_api.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace {

SdeApi g_api;
void* g_handle = nullptr;

std::string programFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<size_t>(n));
    auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

}  // namespace

bool SdeLibrary::load(std::string* why, const std::string& path) {
    if (g_handle) return true;
    void* handle = nullptr;
    if (!path.empty()) {
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    } else {
        // Beside the program in a build folder; in the private library
        // folder of an installed program (bin/../lib/<multiarch>/caisse/).
        const std::string folder = programFolder();
        std::string own = folder + "libsde50.so";
        handle = ::dlopen(own.c_str(), RTLD_NOW | RTLD_LOCAL);
#ifdef CAISSE_PRIVATE_LIBDIR
        if (!handle) {
            std::string installed = folder + "../" CAISSE_PRIVATE_LIBDIR "/libsde50.so";
            handle = ::dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
#endif
        if (!handle) handle = ::dlopen("libsde50.so", RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) {
        if (why) *why = ::dlerror();
        return false;
    }
    SdeApi api;
    bool complete = true;
#define SDE_ENTRY(name)                                                        \
    api.name = reinterpret_cast<decltype(api.name)>(::dlsym(handle, #name));  \
    if (!api.name) {                                                           \
        if (why) *why = "missing entry point " #name;                          \
        complete = false;                                                      \
    }
#include "sde50_entries.inc"
#undef SDE_ENTRY
    if (!complete) {
        ::dlclose(handle);
        return false;
    }
    g_api = api;
    g_handle = handle;
    g_api.sx_SetStringType(1);
    return true;
}

void SdeLibrary::unload() {
    if (!g_handle) return;
    ::dlclose(g_handle);
    g_handle = nullptr;
    g_api = SdeApi{};
}

bool SdeLibrary::loaded() { return g_handle != nullptr; }

const SdeApi& sde() { return g_api; }
