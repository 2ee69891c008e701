// Feeds random keys, types and values through our host's descriptor suites
// into the plug-in's descriptor reader, then records the block again.
#include <cstdint>
#include <cstring>
#include <vector>

#include "descriptor_host.h"
#include "host/descriptor_io.h"
#include "params/defaults.h"
#include "params/settings_table.h"
#include "platform/global_memory.h"

using namespace lumenfall;

namespace {

struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | (at < size ? data[at++] : 0);
        return v;
    }
    uint8_t u8() { return at < size ? data[at++] : 0; }
    bool more() const { return at < size; }
};

const uint32_t kTypes[] = {pi::kTypeInteger, pi::kTypeFloat, pi::kTypeBoolean, pi::kTypeEnumerated, pi::kTypeNull};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in{data, size};
    DescriptorOptions options;
    options.playInfo = int16_t(in.u8() % 3);
    options.closeReaderError = (in.u8() & 1) ? pi::kErrMissingParameter : 0;
    std::vector<DescriptorEntry> entries;
    while (in.more() && entries.size() < 200) {
        DescriptorEntry e;
        const uint8_t pick = in.u8();
        // Mostly real keys, sometimes anything.
        e.key = pick < 200 ? settingsTable()[pick % kSettingCount].key : in.u32();
        e.type = kTypes[in.u8() % 5];
        e.enumType = in.u32();
        const uint32_t high = in.u32(), low = in.u32();
        e.integer = int64_t((uint64_t(high) << 32) | low);
        std::memcpy(&e.number, &e.integer, sizeof e.number);
        entries.push_back(e);
    }
    DescriptorHost host(DescriptorMemory{globalNew, globalLock, globalUnlock, globalDispose, globalSize}, options);
    pi::FilterRecord record{};
    record.hostSig = pi::fourCC("LMFH");
    host.attach(record, entries, true);
    static ParameterBlock block;
    std::memset(&block, 0, sizeof block);
    initialiseParameterBlock(block);
    readDescriptorInto(&record, block);
    writeDescriptorFrom(&record, block);
    if (host.sawSecondReader()) __builtin_trap();
    return 0;
}
