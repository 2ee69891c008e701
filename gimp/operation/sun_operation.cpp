// The GEGL operation lumenfall:sun: a filter whose properties are the
// plug-in's settings. Each property set and layer size has one SunPicture
// (the plans of every mipmap level asked for), made on the thread that
// prepares the graph and shared read-only by GEGL's worker threads.
#include <dlfcn.h>
#include <gegl-plugin.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gimp/core/sun_region.h"
#include "gimp/operation/sun_properties.h"

namespace {

using lumenfall::ParameterBlock;
using lumenfall::RegionFormat;
using lumenfall::RegionRect;
using lumenfall::SunPicture;

struct SunState {
    std::vector<GValue> values;
    std::mutex mutex;
    bool settingsKnown = false;  // `settings` and `error` hold the current properties' meaning
    ParameterBlock settings;
    std::string error;
    std::string warned;  // the last refusal told
    std::shared_ptr<SunPicture> picture;
    std::vector<GParamSpec*> specs;
};

struct LumenfallSun {
    GeglOperationFilter parent_instance;
    SunState* state;
};

struct LumenfallSunClass {
    GeglOperationFilterClass parent_class;
};

GType g_sunType = 0;
gpointer g_parentClass = nullptr;
std::vector<GParamSpec*> g_specs;  // by property id - 1

SunState& stateOf(gpointer object) { return *reinterpret_cast<LumenfallSun*>(object)->state; }

void sunInit(GTypeInstance* instance, gpointer) {
    auto* self = reinterpret_cast<LumenfallSun*>(instance);
    self->state = new SunState;
    self->state->values.resize(g_specs.size());
    for (size_t i = 0; i < g_specs.size(); ++i) {
        GValue* value = &self->state->values[i];
        *value = G_VALUE_INIT;
        g_value_init(value, G_PARAM_SPEC_VALUE_TYPE(g_specs[i]));
        g_param_value_set_default(g_specs[i], value);
    }
    self->state->specs = g_specs;
}

void sunFinalize(GObject* object) {
    SunState* state = &stateOf(object);
    for (GValue& value : state->values) g_value_unset(&value);
    delete state;
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

void sunSetProperty(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
    SunState& state = stateOf(object);
    if (id < 1 || id > state.values.size()) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        return;
    }
    std::lock_guard<std::mutex> lock(state.mutex);
    g_value_copy(value, &state.values[id - 1]);
    state.settingsKnown = false;
}

void sunGetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec) {
    SunState& state = stateOf(object);
    if (id < 1 || id > state.values.size()) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        return;
    }
    std::lock_guard<std::mutex> lock(state.mutex);
    g_value_copy(&state.values[id - 1], value);
}

// The working format: 8-bit layers through the 8-bit path, everything else
// through the 16-bit one; grey stays grey, transparency stays.
RegionFormat formatFor(const Babl* source) {
    RegionFormat format{16, 3, true};
    if (!source) return format;
    format.alpha = babl_format_has_alpha(source) != 0;
    const int components = babl_format_get_n_components(source) - (format.alpha ? 1 : 0);
    format.colours = components == 1 ? 1 : 3;
    format.depth = babl_format_get_type(source, 0) == babl_type("u8") ? 8 : 16;
    return format;
}

const Babl* bablFormatOf(const RegionFormat& format, const Babl* space) {
    const char* model = format.colours == 1 ? (format.alpha ? "Y'A" : "Y'") : (format.alpha ? "R'G'B'A" : "R'G'B'");
    const std::string name = std::string(model) + (format.depth == 8 ? " u8" : " u16");
    return babl_format_with_space(name.c_str(), space);
}

void sunPrepare(GeglOperation* operation) {
    const Babl* source = gegl_operation_get_source_format(operation, "input");
    const Babl* space = source ? babl_format_get_space(source) : nullptr;
    const Babl* format = bablFormatOf(formatFor(source), space);
    gegl_operation_set_format(operation, "input", format);
    gegl_operation_set_format(operation, "output", format);
}

// The picture for the current properties and input size (made once).
std::shared_ptr<SunPicture> pictureFor(GeglOperation* operation, std::string* error) {
    SunState& state = stateOf(operation);
    const GeglRectangle* box = gegl_operation_source_get_bounding_box(operation, "input");
    const int32_t width = box ? box->width : 0, height = box ? box->height : 0;
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.settingsKnown) {
        state.error.clear();
        state.picture.reset();
        if (!lumenfall::settingsFromProperties(state.values.data(), state.specs.data(), &state.settings,
                                               &state.error) &&
            state.error.empty())
            state.error = "the settings cannot be read";
        state.settingsKnown = true;
    }
    if (!state.error.empty()) {
        *error = state.error;
        return nullptr;
    }
    if (!SunPicture::sizeAccepted(width, height)) {
        *error = "a layer of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels cannot be rendered (each side must be 1.." + std::to_string(lumenfall::kLargestSide) + ")";
        return nullptr;
    }
    if (!state.picture || state.picture->width() != width || state.picture->height() != height)
        state.picture = std::make_shared<SunPicture>(state.settings, width, height);
    return state.picture;
}

void warnOnce(GeglOperation* operation, const std::string& error) {
    SunState& state = stateOf(operation);
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.warned == error) return;
        state.warned = error;
    }
    g_warning("lumenfall:sun: %s", error.c_str());
}

gboolean sunProcess(GeglOperation* operation, GeglBuffer* input, GeglBuffer* output, const GeglRectangle* roi,
                    gint level) {
    if (!input || !output) return FALSE;
    // Refused: the picture passes unchanged (never undefined pixels), and
    // the reason is told once, not for every tile.
    auto refuse = [&](const std::string& why) {
        gegl_buffer_copy(input, roi, GEGL_ABYSS_NONE, output, roi);
        warnOnce(operation, why);
        return FALSE;
    };
    if (level < 0 || level > lumenfall::kDeepestLevel) return refuse("no render at mipmap level " + std::to_string(level));
    std::string error;
    std::shared_ptr<SunPicture> picture = pictureFor(operation, &error);
    if (!picture) return refuse(error);
    const Babl* format = gegl_operation_get_format(operation, "output");
    const RegionFormat region = formatFor(format);
    const GeglRectangle* box = gegl_operation_source_get_bounding_box(operation, "input");
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(size_t(roi->width) * size_t(roi->height) * size_t(region.bytesPerPixel()));
    } catch (const std::bad_alloc&) {
        return refuse("no memory for a region of " + std::to_string(roi->width) + " x " +
                      std::to_string(roi->height) + " pixels");
    }
    const gint rowBytes = roi->width * region.bytesPerPixel();
    // At a reduced level the buffers already hold that level's pixels, at
    // that level's coordinates.
    gegl_buffer_get(input, roi, 1.0, format, pixels.data(), rowBytes, GEGL_ABYSS_NONE);
    // The grid starts at the layer's corner, whatever its offset.
    const RegionRect rect{roi->x - (box->x >> level), roi->y - (box->y >> level), roi->width, roi->height};
    const bool done = picture->render(level, region, rect, pixels.data(), pixels.data());
    gegl_buffer_set(output, roi, 0, format, pixels.data(), rowBytes);
    return done ? TRUE : FALSE;
}

void sunClassInit(gpointer klass, gpointer) {
    g_parentClass = g_type_class_peek_parent(klass);
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    GeglOperationClass* operationClass = GEGL_OPERATION_CLASS(klass);
    GeglOperationFilterClass* filterClass = GEGL_OPERATION_FILTER_CLASS(klass);
    objectClass->set_property = sunSetProperty;
    objectClass->get_property = sunGetProperty;
    objectClass->finalize = sunFinalize;
    operationClass->prepare = sunPrepare;
    operationClass->threaded = TRUE;
    operationClass->want_in_place = FALSE;
    filterClass->process = sunProcess;

    const std::vector<lumenfall::PropertyInfo>& properties = lumenfall::sunProperties();
    g_specs.clear();
    for (size_t i = 0; i < properties.size(); ++i) {
        GParamSpec* spec = lumenfall::makeParamSpec(properties[i]);
        g_object_class_install_property(objectClass, guint(i + 1), spec);
        g_specs.push_back(spec);
    }
    gegl_operation_class_set_keys(
        operationClass, "name", "lumenfall:sun", "title", "Lumenfall sun", "categories", "light",
        "reference-hash", "lumenfall-sun-1", "description",
        "Draws a fantasy sun into the picture: a textured sun disc, radiating spikes with diffraction "
        "colours, a halo, a rainbow bow and a ring of lens-flare wedges, glued onto the picture in one "
        "of nineteen ways.",
        "gimp:menu-path", "<Image>/Filters/Light and Shadow", "gimp:menu-label", "Lumenfall\xe2\x80\xa6", nullptr);
}

void sunClassFinalize(gpointer, gpointer) {}

// Never unloaded (GEGL unloads a module whose types are unused): a second
// reference to ourselves that no unload removes.
void keepLoaded() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&keepLoaded), &info) && info.dli_fname)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NODELETE);
}

const GeglModuleInfo g_moduleInfo = {GEGL_MODULE_ABI_VERSION};

}  // namespace

extern "C" {

G_MODULE_EXPORT const GeglModuleInfo* gegl_module_query(GTypeModule*) { return &g_moduleInfo; }

G_MODULE_EXPORT gboolean gegl_module_register(GTypeModule* module) {
    // A second copy of the module (the same file in two operation folders)
    // leaves the first one's operation in place.
    if (g_type_from_name("LumenfallSunOperation")) return TRUE;
    // The module stays loaded: the enumerations and the C++ runtime live in it.
    keepLoaded();
    lumenfall::registerSunEnums(module);
    const GTypeInfo info = {sizeof(LumenfallSunClass), nullptr, nullptr, sunClassInit, sunClassFinalize, nullptr,
                            sizeof(LumenfallSun), 0, sunInit, nullptr};
    g_sunType = gegl_module_register_type(module, GEGL_TYPE_OPERATION_FILTER, "LumenfallSunOperation", &info,
                                          GTypeFlags(0));
    return TRUE;
}

}  // extern "C"
