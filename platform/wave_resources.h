// "WAVE" resources: byte images a program registers under a module handle, by
// name or by number, found, loaded, locked and freed the way a module's
// resources are. Handles are 32-bit; 0 is none.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using WaveModule = uint32_t;
using WaveResourceInfo = uint32_t;    // a found resource
using WaveResourceData = uint32_t;    // a loaded resource

// A new, empty module. Modules live until the process ends.
WaveModule CreateWaveModule();
// Registers (or replaces) a resource. Names compare without regard to ASCII case.
void AddWaveResource(WaveModule module, const std::string& name, std::vector<uint8_t> bytes);
void AddWaveResource(WaveModule module, uint16_t number, std::vector<uint8_t> bytes);
// Forgets a module's resources; resources loaded from it stay readable until freed.
void RemoveWaveModule(WaveModule module);

WaveResourceInfo FindWaveResource(WaveModule module, const char* name);
WaveResourceInfo FindWaveResource(WaveModule module, uint16_t number);
WaveResourceData LoadWaveResource(WaveResourceInfo info);
// The loaded bytes; nullptr for an empty resource or an unknown handle.
const uint8_t* LockWaveResource(WaveResourceData data);
uint32_t SizeofWaveResource(WaveResourceInfo info);
void FreeWaveResource(WaveResourceData data);

// Loaded resources not yet freed.
size_t LoadedWaveResourceCount();
