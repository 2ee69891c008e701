// lumenfall-gimp: the GIMP 2.10 plug-in around lumenfall:sun. The
// procedure plug-in-lumenfall (image, drawable, preset file, settings
// text) renders the sun over the drawable into its shadow buffer; GIMP
// merges it through the selection as one undo step. Its menu entry asks
// for a preset, showing the preset's thumbnail.
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <memory>
#include <string>
#include <vector>

#include "gimp/plugin/plugin_settings.h"
#include "params/preset_format.h"

namespace {

constexpr const char* kProcedure = "plug-in-lumenfall";
constexpr const char* kBinary = "lumenfall-gimp";

void query() {
    static const GimpParamDef arguments[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), RUN-WITH-LAST-VALS (2) }")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Input drawable")},
        {GIMP_PDB_STRING, const_cast<gchar*>("preset"), const_cast<gchar*>("A preset file (.q4q), or an empty string")},
        {GIMP_PDB_STRING, const_cast<gchar*>("settings"),
         const_cast<gchar*>("Settings as NAME=VALUE lines, the names `lumenfall settings` lists (they win over the preset)")},
    };
    gimp_install_procedure(kProcedure, "Draws a Lumenfall sun into the drawable",
                           "Renders the sun of a preset and settings over the whole drawable (its size and centre) "
                           "and applies it through the selection, as one undo step.",
                           "Lumenfall", "Lumenfall", "2026", "Lumenfall preset\xe2\x80\xa6", "RGB*, GRAY*", GIMP_PLUGIN,
                           G_N_ELEMENTS(arguments), 0, arguments, nullptr);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Light and Shadow");
}

// Renders the sun over the drawable's selected area into its shadow
// buffer and merges it. False with a message.
bool applySun(gint32 drawable, const lumenfall::ParameterBlock& settings, bool interactive, std::string* error) {
    gint x = 0, y = 0, width = 0, height = 0;
    if (!gimp_drawable_mask_intersect(drawable, &x, &y, &width, &height)) return true;  // nothing selected here
    GeglBuffer* source = gimp_drawable_get_buffer(drawable);
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    GeglNode* graph = gegl_node_new();
    GeglNode* input = gegl_node_new_child(graph, "operation", "gegl:buffer-source", "buffer", source, nullptr);
    GeglNode* sun = gegl_node_new_child(graph, "operation", "lumenfall:sun", nullptr);
    GeglNode* output = gegl_node_new_child(graph, "operation", "gegl:write-buffer", "buffer", shadow, nullptr);
    bool done = false;
    gchar* operation = nullptr;
    gegl_node_get(sun, "operation", &operation, nullptr);
    if (g_strcmp0(operation, "lumenfall:sun") != 0) {
        *error = "the GEGL operation lumenfall:sun is not installed (run scripts/install-gimp.sh)";
    } else {
        lumenfall::setSunProperties(sun, settings);
        gegl_node_link_many(input, sun, output, nullptr);
        // Only the selected part is rendered: any region gives the pixels
        // of the whole layer's render.
        const GeglRectangle area{x, y, width, height};
        GeglProcessor* processor = gegl_node_new_processor(output, &area);
        gdouble progress = 0;
        if (interactive) gimp_progress_init("Lumenfall sun");
        while (gegl_processor_work(processor, &progress))
            if (interactive) gimp_progress_update(progress);
        g_object_unref(processor);
        gegl_buffer_flush(shadow);
        done = true;
    }
    g_free(operation);
    g_object_unref(graph);
    g_object_unref(shadow);
    g_object_unref(source);
    if (!done) return false;
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, x, y, width, height);
    return true;
}

// The file chooser's preview: the preset's stored thumbnail.
bool keepThumbnail(void* context, const uint8_t* jpeg, size_t size, int32_t, int32_t) {
    static_cast<std::vector<uint8_t>*>(context)->assign(jpeg, jpeg + size);
    return true;
}

void updatePreview(GtkFileChooser* chooser, gpointer data) {
    GtkImage* image = GTK_IMAGE(data);
    gchar* path = gtk_file_chooser_get_preview_filename(chooser);
    GdkPixbuf* picture = nullptr;
    if (path) {
        std::vector<uint8_t> jpeg;
        lumenfall::PresetThumbnailSink sink;
        sink.context = &jpeg;
        sink.accept = keepThumbnail;
        lumenfall::PresetLoadReport report;
        auto unused = std::make_unique<lumenfall::ParameterBlock>();
        if (lumenfall::loadPresetFile(unused.get(), path, lumenfall::kReadThumbnailOnly, &sink, &report) ==
                lumenfall::kPresetOk &&
            !jpeg.empty()) {
            GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
            if (gdk_pixbuf_loader_write(loader, jpeg.data(), jpeg.size(), nullptr) &&
                gdk_pixbuf_loader_close(loader, nullptr)) {
                picture = gdk_pixbuf_loader_get_pixbuf(loader);
                if (picture) g_object_ref(picture);
            } else {
                gdk_pixbuf_loader_close(loader, nullptr);
            }
            g_object_unref(loader);
        }
        g_free(path);
    }
    gtk_image_set_from_pixbuf(image, picture);
    gtk_file_chooser_set_preview_widget_active(chooser, picture != nullptr);
    if (picture) g_object_unref(picture);
}

// Asks for a preset, starting at the last one chosen or else in the
// image's folder; empty when the user cancels.
std::string askForPreset(const std::string& last, gint32 image) {
    gimp_ui_init(kBinary, FALSE);
    GtkWidget* dialog = gtk_file_chooser_dialog_new("Lumenfall preset", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
                                                    "_Cancel", GTK_RESPONSE_CANCEL, "_Apply", GTK_RESPONSE_ACCEPT,
                                                    nullptr);
    GtkFileFilter* presets = gtk_file_filter_new();
    gtk_file_filter_set_name(presets, "Lumenfall presets (*.q4q)");
    gtk_file_filter_add_pattern(presets, "*.q4q");
    gtk_file_filter_add_pattern(presets, "*.Q4Q");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), presets);
    GtkWidget* thumbnail = gtk_image_new();
    gtk_widget_set_size_request(thumbnail, 136, 136);
    gtk_file_chooser_set_preview_widget(GTK_FILE_CHOOSER(dialog), thumbnail);
    g_signal_connect(dialog, "update-preview", G_CALLBACK(updatePreview), thumbnail);
    if (!last.empty()) {
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(dialog), last.c_str());
    } else if (gchar* picture = gimp_image_get_filename(image)) {
        gchar* folder = g_path_get_dirname(picture);
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder);
        g_free(folder);
        g_free(picture);
    }
    std::string chosen;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        if (path) chosen = path;
        g_free(path);
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

void run(const gchar*, gint count, const GimpParam* params, gint* returnCount, GimpParam** returns) {
    static GimpParam values[2];
    *returnCount = 1;
    *returns = values;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = GIMP_PDB_CALLING_ERROR;
    if (count < 3) return;
    gegl_init(nullptr, nullptr);
    const auto mode = GimpRunMode(params[0].data.d_int32);
    const gint32 image = params[1].data.d_image;
    const gint32 drawable = params[2].data.d_drawable;
    std::string preset, text;
    char remembered[4096] = {0};
    gimp_get_data(kProcedure, remembered);
    remembered[sizeof remembered - 1] = 0;
    if (mode == GIMP_RUN_NONINTERACTIVE) {
        if (count < 5) return;
        preset = params[3].data.d_string ? params[3].data.d_string : "";
        text = params[4].data.d_string ? params[4].data.d_string : "";
    } else if (mode == GIMP_RUN_INTERACTIVE || !remembered[0]) {
        // Repeating before any preset was chosen asks for one.
        preset = askForPreset(remembered, image);
        if (preset.empty()) {
            values[0].data.d_status = GIMP_PDB_CANCEL;
            return;
        }
    } else {
        preset = remembered;
    }
    std::string error;
    auto settings = std::make_unique<lumenfall::ParameterBlock>();
    bool ok = lumenfall::settingsForRun(preset, text, settings.get(), &error);
    if (ok) {
        gimp_image_undo_group_start(image);
        ok = applySun(drawable, *settings, mode != GIMP_RUN_NONINTERACTIVE, &error);
        gimp_image_undo_group_end(image);
    }
    if (!ok) {
        *returnCount = 2;
        values[0].data.d_status = GIMP_PDB_EXECUTION_ERROR;
        values[1].type = GIMP_PDB_STRING;
        static std::string message;
        message = "Lumenfall: " + error;
        values[1].data.d_string = const_cast<gchar*>(message.c_str());
        return;
    }
    if (mode != GIMP_RUN_NONINTERACTIVE) {
        gimp_displays_flush();
        if (preset.size() < sizeof remembered) gimp_set_data(kProcedure, preset.c_str(), preset.size() + 1);
    }
    values[0].data.d_status = GIMP_PDB_SUCCESS;
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, query, run};

MAIN()
