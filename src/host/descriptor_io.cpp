#include "host/descriptor_io.h"

#include <cfloat>
#include <cmath>

#include "host/host_memory.h"
#include "params/defaults.h"
#include "params/enumerations.h"
#include "params/settings_table.h"

namespace lumenfall {
namespace {

bool signatureSkipsDescriptors(pi::OSType sig) { return sig == pi::kSigPSP8 || sig == pi::kSigPSP9; }

// A double from a script as the block's single float: out-of-range finite
// values saturate instead of overflowing the conversion.
float floatFromDescriptor(double value) {
    if (std::isnan(value) || std::isinf(value)) return float(value);
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return float(value);
}

void readValue(const pi::ReadDescriptorProcs* procs, pi::PIReadDescriptor token, const SettingInfo& s,
               ParameterBlock& block) {
    switch (s.kind) {
        case SettingKind::Colour: {
            int32_t value = 0;
            if (procs->getIntegerProc(token, &value) == 0) *colourField(block, s) = colourChannelFromDescriptor(value);
            break;
        }
        case SettingKind::Integer: {
            int32_t value = 0;
            if (procs->getIntegerProc(token, &value) == 0) *intField(block, s) = value;
            break;
        }
        case SettingKind::Switch: {
            pi::Boolean value = 0;
            if (procs->getBooleanProc(token, &value) == 0) *intField(block, s) = int32_t(value);
            break;
        }
        case SettingKind::Axis: {
            double value = 0;
            if (procs->getFloatProc(token, &value) == 0) *floatField(block, s) = floatFromDescriptor(value);
            break;
        }
        case SettingKind::SunType:
        case SettingKind::Glue: {
            uint32_t code = 0;
            if (procs->getEnumeratedProc(token, &code) == 0) {
                int32_t index = 0;
                enumCodeToIndex(s.kind == SettingKind::Glue ? kEnumTypeGlue : kEnumTypeSunType, code, &index);
                *intField(block, s) = index;
            }
            break;
        }
    }
}

void writeValue(const pi::WriteDescriptorProcs* procs, pi::PIWriteDescriptor token, const SettingInfo& s,
                const ParameterBlock& block) {
    switch (s.kind) {
        case SettingKind::Colour:
            procs->putIntegerProc(token, s.key, *colourField(block, s) >> 8);
            break;
        case SettingKind::Integer:
            procs->putIntegerProc(token, s.key, *intField(block, s));
            break;
        case SettingKind::Switch:
            procs->putBooleanProc(token, s.key, pi::Boolean(*intField(block, s) & 0xFF));
            break;
        case SettingKind::Axis: {
            const double value = *floatField(block, s);
            procs->putFloatProc(token, s.key, &value);
            break;
        }
        case SettingKind::SunType:
        case SettingKind::Glue: {
            const uint32_t type = s.kind == SettingKind::Glue ? kEnumTypeGlue : kEnumTypeSunType;
            procs->putEnumeratedProc(token, s.key, type, enumIndexToCode(type, *intField(block, s)));
            break;
        }
    }
}

}  // namespace

uint16_t colourChannelFromDescriptor(int32_t value) { return uint16_t((uint32_t(value) * 256u) & 0xFFFFu); }

void descriptorKeyList(uint32_t keys[50]) {
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) keys[i] = table[i].key;
    keys[kSettingCount] = 0;
}

bool descriptorSuitesUsable(const pi::FilterRecord* record) {
    const pi::PIDescriptorParameters* d = record ? record->descriptorParameters : nullptr;
    if (!d || d->descriptorParametersVersion != 0) return false;
    const pi::ReadDescriptorProcs* r = d->readDescriptorProcs;
    const pi::WriteDescriptorProcs* w = d->writeDescriptorProcs;
    if (!r || r->readDescriptorProcsVersion != 0 || r->numReadDescriptorProcs < 18) return false;
    if (!w || w->writeDescriptorProcsVersion != 0 || w->numWriteDescriptorProcs < 16) return false;
    return r->openReadDescriptorProc && r->closeReadDescriptorProc && r->getKeyProc && r->getIntegerProc &&
           r->getFloatProc && r->getUnitFloatProc && r->getBooleanProc && r->getTextProc && r->getAliasProc &&
           r->getEnumeratedProc && r->getClassProc && r->getSimpleReferenceProc && r->getObjectProc &&
           r->getCountProc && r->getStringProc && r->getPinnedIntegerProc && r->getPinnedFloatProc &&
           r->getPinnedUnitFloatProc;
}

bool probeForDescriptor(const pi::FilterRecord* record) {
    if (!record || signatureSkipsDescriptors(record->hostSig) || !descriptorSuitesUsable(record)) return false;
    const pi::PIDescriptorParameters* d = record->descriptorParameters;
    uint32_t keys[kSettingCount + 1];
    descriptorKeyList(keys);
    pi::PIReadDescriptor token = d->readDescriptorProcs->openReadDescriptorProc(d->descriptor, keys);
    if (!token) return false;
    d->readDescriptorProcs->closeReadDescriptorProc(token);
    return true;
}

int16_t readDescriptorInto(pi::FilterRecord* record, ParameterBlock& block) {
    if (signatureSkipsDescriptors(record->hostSig) || !descriptorSuitesUsable(record)) return 0;
    pi::PIDescriptorParameters* d = record->descriptorParameters;
    const pi::ReadDescriptorProcs* procs = d->readDescriptorProcs;
    int16_t result = 0;
    uint32_t keys[kSettingCount + 1];
    descriptorKeyList(keys);
    pi::PIReadDescriptor token = procs->openReadDescriptorProc(d->descriptor, keys);
    if (token) {
        resetToDefaults(block);
        uint32_t key = 0, type = 0;
        int32_t flags = 0;
        while (procs->getKeyProc(token, &key, &type, &flags)) {
            if (const SettingInfo* s = findSettingByKey(key)) readValue(procs, token, *s, block);
        }
        const int16_t error = procs->closeReadDescriptorProc(token);
        disposeHandle(record, d->descriptor);
        d->descriptor = nullptr;
        if (error != 0 && error != pi::kErrMissingParameter) result = error;
    }
    block.showDialog = d->playInfo == pi::kPlayDialogDisplay ? 1 : 0;
    return result;
}

void writeDescriptorFrom(pi::FilterRecord* record, const ParameterBlock& block) {
    if (!descriptorSuitesUsable(record)) return;
    pi::PIDescriptorParameters* d = record->descriptorParameters;
    const pi::WriteDescriptorProcs* procs = d->writeDescriptorProcs;
    pi::PIWriteDescriptor token = procs->openWriteDescriptorProc();
    if (!token) return;
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) writeValue(procs, token, table[i], block);
    pi::PIDescriptorHandle fresh = nullptr;
    procs->closeWriteDescriptorProc(token, &fresh);
    if (d->descriptor) disposeHandle(record, d->descriptor);
    d->descriptor = fresh;
    d->recordInfo = pi::kRecordDialogOptional;
}

}  // namespace lumenfall
