#include "descriptor_host.h"

#include <cstring>

namespace lumenfall {
namespace {

DescriptorHost* g_descriptors = nullptr;  // callbacks receive no host context

constexpr size_t kEntryBytes = 32;

struct Reader {
    std::vector<DescriptorEntry> entries;
    uint32_t* keys;
    size_t keyCount = 0;      // length of the plug-in's list when it opened
    size_t next = 0;
    const DescriptorEntry* current = nullptr;
    int16_t sticky = 0;
};

struct Writer {
    std::vector<DescriptorEntry> entries;
};

void fail(Reader* r, int16_t error) {
    if (r->sticky == 0) r->sticky = error;
}

}  // namespace

struct DescriptorHost::Procs {
    static pi::PIReadDescriptor openReader(pi::PIDescriptorHandle descriptor, uint32_t* keys) {
        DescriptorHost* h = g_descriptors;
        if (!h || !descriptor) return nullptr;
        if (h->readerOpen_ && h->openOn_ == descriptor) {
            h->secondReader_ = true;
            h->log_.push_back("second reader opened on one descriptor");
            return nullptr;
        }
        auto* reader = new Reader;
        reader->entries = h->entriesOf(descriptor);
        reader->keys = keys;
        while (keys && keys[reader->keyCount]) ++reader->keyCount;
        h->readerOpen_ = true;
        h->openOn_ = descriptor;
        ++h->readersOpened_;
        h->log_.push_back("openReadDescriptor");
        return reinterpret_cast<pi::PIReadDescriptor>(reader);
    }

    static pi::OSErr closeReader(pi::PIReadDescriptor token) {
        DescriptorHost* h = g_descriptors;
        auto* reader = reinterpret_cast<Reader*>(token);
        if (!reader) return pi::kParamErr;
        int16_t error = reader->sticky;
        for (size_t i = 0; error == 0 && i < reader->keyCount; ++i)
            if (reader->keys[i] != 0) error = pi::kErrMissingParameter;
        delete reader;
        if (h) {
            h->readerOpen_ = false;
            h->openOn_ = nullptr;
            if (h->options_.closeReaderError != 0) error = h->options_.closeReaderError;
            h->log_.push_back("closeReadDescriptor -> " + std::to_string(error));
        }
        return error;
    }

    static pi::Boolean getKey(pi::PIReadDescriptor token, uint32_t* key, uint32_t* type, int32_t* flags) {
        auto* reader = reinterpret_cast<Reader*>(token);
        if (!reader || reader->next >= reader->entries.size()) return 0;
        reader->current = &reader->entries[reader->next++];
        *key = reader->current->key;
        *type = reader->current->type;
        *flags = 0;
        // A delivered key is crossed off the plug-in's list.
        for (size_t i = 0; i < reader->keyCount; ++i)
            if (reader->keys[i] == *key) {
                reader->keys[i] = 0;
                break;
            }
        return 1;
    }

    static pi::OSErr getInteger(pi::PIReadDescriptor token, int32_t* value) {
        auto* r = reinterpret_cast<Reader*>(token);
        if (!r || !r->current) return pi::kParamErr;
        if (r->current->type == pi::kTypeInteger) {
            *value = int32_t(r->current->integer);
            return 0;
        }
        fail(r, pi::kParamErr);
        return pi::kParamErr;
    }

    static pi::OSErr getFloat(pi::PIReadDescriptor token, double* value) {
        auto* r = reinterpret_cast<Reader*>(token);
        if (!r || !r->current) return pi::kParamErr;
        if (r->current->type == pi::kTypeFloat) {
            *value = r->current->number;
            return 0;
        }
        if (r->current->type == pi::kTypeInteger) {  // hosts widen integers on request
            *value = double(r->current->integer);
            return 0;
        }
        fail(r, pi::kParamErr);
        return pi::kParamErr;
    }

    static pi::OSErr getBoolean(pi::PIReadDescriptor token, pi::Boolean* value) {
        auto* r = reinterpret_cast<Reader*>(token);
        if (!r || !r->current) return pi::kParamErr;
        if (r->current->type == pi::kTypeBoolean) {
            *value = pi::Boolean(r->current->integer ? 1 : 0);
            return 0;
        }
        fail(r, pi::kParamErr);
        return pi::kParamErr;
    }

    static pi::OSErr getEnumerated(pi::PIReadDescriptor token, uint32_t* value) {
        auto* r = reinterpret_cast<Reader*>(token);
        if (!r || !r->current) return pi::kParamErr;
        if (r->current->type == pi::kTypeEnumerated) {
            *value = uint32_t(r->current->integer);
            return 0;
        }
        fail(r, pi::kParamErr);
        return pi::kParamErr;
    }

    // Getters for types no Lumenfall setting uses.
    static pi::OSErr unsupported(pi::PIReadDescriptor token) {
        if (auto* r = reinterpret_cast<Reader*>(token)) fail(r, pi::kParamErr);
        return pi::kParamErr;
    }
    static pi::OSErr getUnitFloat(pi::PIReadDescriptor t, uint32_t*, double*) { return unsupported(t); }
    static pi::OSErr getHandle(pi::PIReadDescriptor t, pi::Handle*) { return unsupported(t); }
    static pi::OSErr getType(pi::PIReadDescriptor t, uint32_t*) { return unsupported(t); }
    static pi::OSErr getReference(pi::PIReadDescriptor t, void*) { return unsupported(t); }
    static pi::OSErr getObject(pi::PIReadDescriptor t, uint32_t*, pi::PIDescriptorHandle*) { return unsupported(t); }
    static pi::OSErr getString(pi::PIReadDescriptor t, uint8_t (*)[256]) { return unsupported(t); }
    static pi::OSErr getPinnedInteger(pi::PIReadDescriptor t, int32_t, int32_t, int32_t*) { return unsupported(t); }
    static pi::OSErr getPinnedFloat(pi::PIReadDescriptor t, const double*, const double*, double*) {
        return unsupported(t);
    }
    static pi::OSErr getPinnedUnitFloat(pi::PIReadDescriptor t, const double*, const double*, uint32_t*, double*) {
        return unsupported(t);
    }

    static pi::PIWriteDescriptor openWriter() {
        if (g_descriptors) g_descriptors->log_.push_back("openWriteDescriptor");
        return reinterpret_cast<pi::PIWriteDescriptor>(new Writer);
    }
    static pi::OSErr closeWriter(pi::PIWriteDescriptor token, pi::PIDescriptorHandle* result) {
        auto* w = reinterpret_cast<Writer*>(token);
        if (!w || !result) return pi::kParamErr;
        *result = g_descriptors ? g_descriptors->makeDescriptor(w->entries) : nullptr;
        if (g_descriptors) g_descriptors->log_.push_back("closeWriteDescriptor " + std::to_string(w->entries.size()));
        delete w;
        return *result ? 0 : pi::kMemFullErr;
    }
    static pi::OSErr put(pi::PIWriteDescriptor token, DescriptorEntry e) {
        auto* w = reinterpret_cast<Writer*>(token);
        if (!w) return pi::kParamErr;
        w->entries.push_back(e);
        return 0;
    }
    static pi::OSErr putInteger(pi::PIWriteDescriptor t, uint32_t key, int32_t v) {
        DescriptorEntry e;
        e.key = key;
        e.type = pi::kTypeInteger;
        e.integer = v;
        return put(t, e);
    }
    static pi::OSErr putFloat(pi::PIWriteDescriptor t, uint32_t key, const double* v) {
        DescriptorEntry e;
        e.key = key;
        e.type = pi::kTypeFloat;
        e.number = v ? *v : 0.0;
        return put(t, e);
    }
    static pi::OSErr putBoolean(pi::PIWriteDescriptor t, uint32_t key, pi::Boolean v) {
        DescriptorEntry e;
        e.key = key;
        e.type = pi::kTypeBoolean;
        e.integer = v;
        return put(t, e);
    }
    static pi::OSErr putEnumerated(pi::PIWriteDescriptor t, uint32_t key, uint32_t type, uint32_t v) {
        DescriptorEntry e;
        e.key = key;
        e.type = pi::kTypeEnumerated;
        e.enumType = type;
        e.integer = v;
        return put(t, e);
    }
    static pi::OSErr refuse(pi::PIWriteDescriptor) { return pi::kParamErr; }
    static pi::OSErr putUnitFloat(pi::PIWriteDescriptor t, uint32_t, uint32_t, const double*) { return refuse(t); }
    static pi::OSErr putHandle(pi::PIWriteDescriptor t, uint32_t, pi::Handle) { return refuse(t); }
    static pi::OSErr putType(pi::PIWriteDescriptor t, uint32_t, uint32_t) { return refuse(t); }
    static pi::OSErr putReference(pi::PIWriteDescriptor t, uint32_t, const void*) { return refuse(t); }
    static pi::OSErr putObject(pi::PIWriteDescriptor t, uint32_t, uint32_t, pi::PIDescriptorHandle) { return refuse(t); }
    static pi::OSErr putCount(pi::PIWriteDescriptor t, uint32_t, uint32_t) { return refuse(t); }
    static pi::OSErr putString(pi::PIWriteDescriptor t, uint32_t, const uint8_t*) { return refuse(t); }
};

DescriptorHost::DescriptorHost(DescriptorMemory memory, DescriptorOptions options)
    : memory_(memory), options_(options) {
    using P = Procs;
    readProcs_.readDescriptorProcsVersion = 0;
    readProcs_.numReadDescriptorProcs = options.readProcsCount;
    readProcs_.openReadDescriptorProc = P::openReader;
    readProcs_.closeReadDescriptorProc = P::closeReader;
    readProcs_.getKeyProc = P::getKey;
    readProcs_.getIntegerProc = P::getInteger;
    readProcs_.getFloatProc = P::getFloat;
    readProcs_.getUnitFloatProc = P::getUnitFloat;
    readProcs_.getBooleanProc = P::getBoolean;
    readProcs_.getTextProc = P::getHandle;
    readProcs_.getAliasProc = P::getHandle;
    readProcs_.getEnumeratedProc = P::getEnumerated;
    readProcs_.getClassProc = P::getType;
    readProcs_.getSimpleReferenceProc = P::getReference;
    readProcs_.getObjectProc = P::getObject;
    readProcs_.getCountProc = P::getType;
    readProcs_.getStringProc = P::getString;
    readProcs_.getPinnedIntegerProc = P::getPinnedInteger;
    readProcs_.getPinnedFloatProc = P::getPinnedFloat;
    readProcs_.getPinnedUnitFloatProc = P::getPinnedUnitFloat;

    writeProcs_.writeDescriptorProcsVersion = 0;
    writeProcs_.numWriteDescriptorProcs = options.writeProcsCount;
    writeProcs_.openWriteDescriptorProc = P::openWriter;
    writeProcs_.closeWriteDescriptorProc = P::closeWriter;
    writeProcs_.putIntegerProc = P::putInteger;
    writeProcs_.putFloatProc = P::putFloat;
    writeProcs_.putUnitFloatProc = P::putUnitFloat;
    writeProcs_.putBooleanProc = P::putBoolean;
    writeProcs_.putTextProc = P::putHandle;
    writeProcs_.putAliasProc = P::putHandle;
    writeProcs_.putEnumeratedProc = P::putEnumerated;
    writeProcs_.putClassProc = P::putType;
    writeProcs_.putSimpleReferenceProc = P::putReference;
    writeProcs_.putObjectProc = P::putObject;
    writeProcs_.putCountProc = P::putCount;
    writeProcs_.putStringProc = P::putString;
    writeProcs_.putScopedClassProc = P::putType;
    writeProcs_.putScopedObjectProc = P::putObject;
    g_descriptors = this;
}

DescriptorHost::~DescriptorHost() {
    release();
    if (g_descriptors == this) g_descriptors = nullptr;
}

void DescriptorHost::attach(pi::FilterRecord& record, const std::vector<DescriptorEntry>& entries, bool withDescriptor) {
    g_descriptors = this;
    release();
    parameters_ = pi::PIDescriptorParameters{};
    parameters_.descriptorParametersVersion = 0;
    parameters_.playInfo = options_.playInfo;
    parameters_.recordInfo = 0;
    const bool procedures = !options_.nullProcedures;
    parameters_.descriptor = withDescriptor && procedures ? makeDescriptor(entries) : nullptr;
    parameters_.readDescriptorProcs = procedures ? &readProcs_ : nullptr;
    parameters_.writeDescriptorProcs = procedures ? &writeProcs_ : nullptr;
    record.descriptorParameters = options_.offerSuites ? &parameters_ : nullptr;
}

void DescriptorHost::release() {
    if (parameters_.descriptor) memory_.dispose(parameters_.descriptor);
    parameters_.descriptor = nullptr;
}

std::vector<DescriptorEntry> DescriptorHost::recorded() const { return entriesOf(parameters_.descriptor); }

pi::Handle DescriptorHost::makeDescriptor(const std::vector<DescriptorEntry>& entries) {
    pi::Handle h = memory_.create(int32_t(entries.size() * kEntryBytes));
    if (!h) return nullptr;
    char* p = memory_.lock(h);
    for (size_t i = 0; p && i < entries.size(); ++i) {
        char* e = p + i * kEntryBytes;
        std::memcpy(e, &entries[i].key, 4);
        std::memcpy(e + 4, &entries[i].type, 4);
        std::memcpy(e + 8, &entries[i].enumType, 4);
        std::memcpy(e + 16, &entries[i].integer, 8);
        std::memcpy(e + 24, &entries[i].number, 8);
    }
    memory_.unlock(h);
    return h;
}

std::vector<DescriptorEntry> DescriptorHost::entriesOf(pi::Handle handle) const {
    std::vector<DescriptorEntry> entries;
    if (!handle) return entries;
    const int32_t size = memory_.size(handle);
    const char* p = memory_.lock(handle);
    for (int32_t offset = 0; p && offset + int32_t(kEntryBytes) <= size; offset += int32_t(kEntryBytes)) {
        DescriptorEntry e;
        std::memcpy(&e.key, p + offset, 4);
        std::memcpy(&e.type, p + offset + 4, 4);
        std::memcpy(&e.enumType, p + offset + 8, 4);
        std::memcpy(&e.integer, p + offset + 16, 8);
        std::memcpy(&e.number, p + offset + 24, 8);
        entries.push_back(e);
    }
    memory_.unlock(handle);
    return entries;
}

}  // namespace lumenfall
