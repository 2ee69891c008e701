// Scripting descriptors: the settings a host records for a run and plays
// back, read at start and written at finish.
#ifndef LUMENFALL_HOST_DESCRIPTOR_IO_H
#define LUMENFALL_HOST_DESCRIPTOR_IO_H

#include <cstdint>

#include "host/pi_abi.h"
#include "params/parameter_block.h"

namespace lumenfall {

// The reader's key list: the 49 keys in table order, then a zero key.
void descriptorKeyList(uint32_t keys[50]);

// The host offers descriptor suites we can use: version 0 everywhere, a read
// table of at least 18 procedures all present, a write table of at least 16.
bool descriptorSuitesUsable(const pi::FilterRecord* record);

// True when the host signature is not PSP8/PSP9, the suites are usable and a
// reader opens on the descriptor. The probe's reader is closed again at
// once, so the host never sees two readers on one descriptor.
bool probeForDescriptor(const pi::FilterRecord* record);

// Applies the host's descriptor to the block (reset to defaults first) and
// sets the show-dialog flag from the host's play mode. Returns the reader's
// close error when it is neither 0 nor a missing parameter, else 0.
int16_t readDescriptorInto(pi::FilterRecord* record, ParameterBlock& block);

// Records every setting into a new descriptor for the host.
void writeDescriptorFrom(pi::FilterRecord* record, const ParameterBlock& block);

// A colour channel from a descriptor integer: the value times 256, keeping
// the low 16 bits (computed unsigned, so -1 gives 65280 and large values
// cannot overflow).
uint16_t colourChannelFromDescriptor(int32_t value);

}  // namespace lumenfall

#endif
