#include "platform/wave_resources.h"

#include <map>
#include <memory>
#include <variant>

namespace {

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;
using Key = std::variant<uint16_t, std::string>;  // number, or name folded to upper case

struct Registry {
    uint32_t nextModule = 1;
    uint32_t nextHandle = 1;
    std::map<WaveModule, std::map<Key, Bytes>> modules;
    std::map<WaveResourceInfo, Bytes> found;
    std::map<WaveResourceData, Bytes> loaded;
};

Registry& registry() {
    static Registry r;
    return r;
}

std::string fold(const char* name) {
    std::string s(name);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

uint32_t newHandle(Registry& r) {
    uint32_t h = r.nextHandle++;
    if (h == 0) h = r.nextHandle++;
    return h;
}

WaveResourceInfo find(WaveModule module, const Key& key) {
    Registry& r = registry();
    auto m = r.modules.find(module);
    if (m == r.modules.end()) return 0;
    auto it = m->second.find(key);
    if (it == m->second.end()) return 0;
    // One handle per resource and module is enough; reuse it when found again.
    for (const auto& [h, bytes] : r.found)
        if (bytes == it->second) return h;
    WaveResourceInfo h = newHandle(r);
    r.found[h] = it->second;
    return h;
}

}  // namespace

WaveModule CreateWaveModule() {
    Registry& r = registry();
    WaveModule m = r.nextModule++;
    r.modules[m];
    return m;
}

void AddWaveResource(WaveModule module, const std::string& name, std::vector<uint8_t> bytes) {
    registry().modules[module][fold(name.c_str())] = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

void AddWaveResource(WaveModule module, uint16_t number, std::vector<uint8_t> bytes) {
    registry().modules[module][number] = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

void RemoveWaveModule(WaveModule module) {
    Registry& r = registry();
    auto m = r.modules.find(module);
    if (m == r.modules.end()) return;
    for (const auto& entry : m->second) {
        const Bytes& bytes = entry.second;
        std::erase_if(r.found, [&](const auto& e) { return e.second == bytes; });
    }
    r.modules.erase(m);
}

WaveResourceInfo FindWaveResource(WaveModule module, const char* name) {
    return name ? find(module, fold(name)) : 0;
}

WaveResourceInfo FindWaveResource(WaveModule module, uint16_t number) { return find(module, number); }

WaveResourceData LoadWaveResource(WaveResourceInfo info) {
    Registry& r = registry();
    auto it = r.found.find(info);
    if (it == r.found.end()) return 0;
    WaveResourceData h = newHandle(r);
    r.loaded[h] = it->second;
    return h;
}

const uint8_t* LockWaveResource(WaveResourceData data) {
    const auto& loaded = registry().loaded;
    auto it = loaded.find(data);
    if (it == loaded.end() || it->second->empty()) return nullptr;
    return it->second->data();
}

uint32_t SizeofWaveResource(WaveResourceInfo info) {
    const auto& found = registry().found;
    auto it = found.find(info);
    return it == found.end() ? 0 : uint32_t(it->second->size());
}

void FreeWaveResource(WaveResourceData data) { registry().loaded.erase(data); }

size_t LoadedWaveResourceCount() { return registry().loaded.size(); }
