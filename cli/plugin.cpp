#include "plugin.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "plugins/pluginabi.h"

namespace qrcli {

namespace {

namespace fs = std::filesystem;

struct Opened {
    void* Handle = nullptr;
    std::string Error;  // why it could not be opened, for every later call too
};

std::mutex Guard;
std::map<std::string, Opened> Libraries;  // by name; never closed, as functions of them may be in use

Opened Open(const std::string& Name) {
    std::error_code Error;
    const fs::path Executable = fs::read_symlink("/proc/self/exe", Error);
    if (Error)
        return {nullptr, "cannot find the program's folder: " + Error.message()};
    const fs::path Folder = Executable.parent_path();
    std::string Reasons;
    for (const fs::path& Candidate : {Folder / QUANDREL_PLUGIN_DIR / Name, Folder / Name}) {
        if (!fs::exists(Candidate, Error))
            continue;
        void* Handle = dlopen(Candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!Handle) {
            const char* Why = dlerror();
            return {nullptr, Why ? Why : "dlopen failed"};
        }
        const auto Version = reinterpret_cast<TPluginVersionFn*>(dlsym(Handle, kPluginVersionSymbol));
        if (!Version || std::string_view(Version()) != QUANDREL_VERSION) {
            dlclose(Handle);
            return {nullptr, Candidate.string() + " is not of quandrel-qr " QUANDREL_VERSION};
        }
        return {Handle, {}};
    }
    return {nullptr, "not found in " + (Folder / QUANDREL_PLUGIN_DIR).lexically_normal().string() + " or " +
                         Folder.string()};
}

}  // namespace

void* PluginSymbol(const char* Library, const char* Symbol) {
    const std::lock_guard<std::mutex> Lock(Guard);
    auto Found = Libraries.find(Library);
    if (Found == Libraries.end())
        Found = Libraries.emplace(Library, Open(Library)).first;
    const Opened& L = Found->second;
    if (!L.Handle)
        throw std::runtime_error(std::string("cannot load ") + Library + ": " + L.Error);
    void* Address = dlsym(L.Handle, Symbol);
    if (!Address)
        throw std::runtime_error(std::string("cannot load ") + Library + ": it has no " + Symbol);
    return Address;
}

}  // namespace qrcli
