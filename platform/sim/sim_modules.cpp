#include "platform/modules.h"
#include "platform/sim/sim.h"

namespace {

SimModules& Mods() { return Sim().modules; }

// The DLL's path as its file was created, for the record.
std::string PathOf(const std::string& key, const std::string& fallback) {
    auto it = Sim().files.entries.find(key);
    return it == Sim().files.entries.end() ? fallback : it->second.path;
}

void Record(SimModuleEventKind kind, const std::string& path, const std::string& name, std::int32_t result,
            std::uint32_t flags = 0) {
    Mods().events.push_back(SimModuleEvent{kind, path, name, result, Sim().system.tick_ms, flags});
}

SimLoadedModule* LoadedOf(plat::Handle module) {
    auto it = Mods().loaded.find(reinterpret_cast<std::uintptr_t>(module));
    return it == Mods().loaded.end() ? nullptr : &it->second;
}

void Unload(plat::Handle module, SimModuleEventKind kind) {
    SimLoadedModule* loaded = LoadedOf(module);
    if (loaded == nullptr) return;
    Record(kind, PathOf(loaded->key, loaded->key), "", 0);
    if (--loaded->count <= 0) Mods().loaded.erase(reinterpret_cast<std::uintptr_t>(module));
}

}  // namespace

SimDll& SimPutDll(const std::string& path, std::map<std::string, SimExport> exports) {
    SimFile* file = SimFindFile(path);
    if (file == nullptr || file->is_folder) SimPutFile(path, {'M', 'Z', 'd', 'l', 'l'});
    SimDll& dll = Mods().dlls[SimPathKey(path)];
    dll.exports = std::move(exports);
    return dll;
}

namespace plat {

Handle ModuleLoad(const char* path, std::uint32_t flags) {
    static const int op = SimOpId("ModuleLoad");
    SimNoteCall(std::string("LoadLibrary ") + (path ? path : ""));
    if (SimFileCallFails(op, path)) return kInvalidHandle;
    std::string text = path ? path : "";
    std::string key = SimPathKey(text);
    SimFile* file = SimFindFile(text);
    auto dll = Mods().dlls.find(key);
    // The LOAD_LIBRARY_SEARCH_* flags are refused where Windows lacks them.
    constexpr std::uint32_t kSearchFlags = 0x0000FF00;
    bool flags_known = Sim().system.default_dll_directories || (flags & kSearchFlags) == 0;
    if (file == nullptr || file->is_folder || dll == Mods().dlls.end() || dll->second.load_fails || !flags_known) {
        Record(kSimModuleLoadFailed, text, "", 0, flags);
        return kInvalidHandle;
    }
    Record(kSimModuleLoad, file->path, "", 0, flags);
    // A DLL loaded twice gives the same handle and counts its loads.
    for (auto& [handle, loaded] : Mods().loaded)
        if (loaded.key == key) {
            ++loaded.count;
            return reinterpret_cast<Handle>(handle);
        }
    Handle module = SimNewHandle();
    Mods().loaded[reinterpret_cast<std::uintptr_t>(module)] = SimLoadedModule{key, 1};
    return module;
}

int ModuleCallEntry(Handle module, const char* name, std::int32_t* hresult) {
    static const int op = SimOpId("ModuleCallEntry");
    if (SimFaultHere(op)) {
        if (SimLoadedModule* loaded = LoadedOf(module)) SimNoteFailedSubject("F " + loaded->key, name ? name : "");
        return 0;
    }
    SimLoadedModule* loaded = LoadedOf(module);
    std::string export_name = name ? name : "";
    if (loaded == nullptr) return 0;
    std::string path = PathOf(loaded->key, loaded->key);
    auto dll = Mods().dlls.find(loaded->key);
    if (dll == Mods().dlls.end()) return 0;
    auto entry = dll->second.exports.find(export_name);
    if (entry == dll->second.exports.end()) {
        Record(kSimModuleExportMissing, path, export_name, 0);
        return 0;
    }
    // Copied first: the export may change the machine, DLLs included.
    SimExport function = entry->second;
    std::int32_t result = function ? function() : 0;
    Record(kSimModuleCall, path, export_name, result);
    *hresult = result;
    return 1;
}

void ModuleFree(Handle module) {
    static const int op = SimOpId("ModuleFree");
    SimCountHere(op);
    Unload(module, kSimModuleFree);
}

void ModuleCoFree(Handle module) {
    static const int op = SimOpId("ModuleCoFree");
    SimCountHere(op);
    Unload(module, kSimModuleCoFree);
}

}  // namespace plat
