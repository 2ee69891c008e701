// The HTML pages of presets and memory dots: a table of pictures, each in a
// soft shadow frame of four border images, with its name below, written as
// HTML 4.01 in ISO-8859-1 with CR LF line ends. The pictures live in the
// folder "web_images" beside the page.
#ifndef LUMENFALL_EXPORT_HTML_PAGE_H
#define LUMENFALL_EXPORT_HTML_PAGE_H

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/replacing_file.h"

namespace lumenfall {

struct TiledImage;

constexpr const char* kPicturesFolderName = "web_images";
constexpr int32_t kPresetsPageColumns = 5;
constexpr int32_t kDotsPageColumns = 4;
constexpr int32_t kMaxPageColumns = 10;

enum class PageKind { Presets, MemoryDots };

// Names and paths from files, for the page's text: quotes, ampersands and
// angle brackets as entities, bytes 123..159 as "&#NNN;", 160..255 as their
// HTML 4.01 names.
std::string escapeEntities(const std::string& bytes);

// A picture's base name made safe as a file name: control bytes become
// spaces, bytes above 127 fold to (byte AND 127) + 32 ("." then "_"), and
// "\", "/" and ":" become "_".
std::string sanitiseFileName(const std::string& base);

// For a src attribute: letters and digits as they are, every other byte as "%xx".
std::string escapeUrl(const std::string& bytes);

// The name without its extension (the part from the last "." on).
std::string withoutExtension(const std::string& name);

enum HtmlPageResult : int32_t {
    kPageWritten = 0,
    kPageCannotCreate = 99,   // the pictures folder or the page file could not be created
    kPageWriteError = -20,    // a write failed: the page was not replaced
    kPageBusy = 1,            // another presets page is being written
    kPageCancelled = -128,    // the user stopped it: the page was not replaced
};

// The colour profile the host offers; every picture of the page carries it
// (in APP2 markers). Null: none.
struct PageProfile {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Writes one page from start to end. The page goes to a new file beside
// the target that replaces it only when complete.
class HtmlPageWriter {
public:
    // Creates the pictures folder with the border images, then the page
    // file, and writes the header. `presetsFolder` is shown in the heading
    // of the presets page.
    int32_t begin(const std::string& pagePath, PageKind kind, const std::string& presetsFolder);

    // The picture file for a picture named `base` (before sanitising), made
    // unique on this page: a name already used gets " 2", " 3"... Returns its
    // full path; the cell uses the name that was chosen.
    std::string reservePicture(const std::string& base, std::string* chosenBase);

    // One cell showing web_images/<base><extension> at w x h, captioned with
    // `base`; `base` is a name returned by reservePicture (already safe: it
    // is not sanitised again, which would name another file).
    void pictureCell(const std::string& base, const std::string& extension, int32_t w, int32_t h);

    // Completes the last row with filler cells, writes the footer and
    // replaces the page file.
    int32_t end();

    // Gives the page up: an older page at the path keeps its bytes.
    void abandon();

    const std::string& picturesFolder() const { return picturesFolder_; }

private:
    void text(const std::string& s);
    void imageTag(const std::string& base, const std::string& extension, int32_t w, int32_t h, bool alt);
    void advanceColumn();
    void fillerCell();
    // After a failure: removes the pictures this page added and the pictures
    // folder when this page made it, so that nothing half-done stays.
    void removeAddedFiles();
    void noteNewFile(const std::string& path);

    ReplacingFile file_;
    std::vector<std::string> added_;   // files the page made that did not exist before
    bool madeFolder_ = false;
    std::string picturesFolder_;   // ends in a separator
    int32_t columns_ = kPresetsPageColumns;
    int32_t column_ = 1;
    int32_t row_ = 1;
    bool ok_ = false;
    std::set<std::string> used_;   // chosen picture names, compared without case
};

// The 128 x 128 grey ramp (row y grey 255 - y) that stands for a missing thumbnail.
void fillGreyRamp(uint8_t* rgb128);

// Writes the presets page of every preset file in `presetsFolder` (names
// containing ".q4q"; folders skipped): each stored thumbnail becomes a JPEG
// picture at its stored size shown at 88 x 88; a preset without one shows
// the grey ramp. Only one presets page is written at a time (kPageBusy).
// `presetCount` receives the number of cells. Entries named in `skipped`
// (damaged presets the caller reported) get no cell.
int32_t writePresetsPage(const std::string& presetsFolder, const std::string& pagePath, int32_t* presetCount,
                         const PageProfile& profile = PageProfile(),
                         const std::set<std::string>* skipped = nullptr);

// What the memory-dots page needs from the dialog. Dots are numbered 0..24.
struct MemoryDotsSource {
    void* context = nullptr;
    // Whether dot `dot` is shown filled.
    bool (*filled)(void* context, int32_t dot) = nullptr;
    // Keeps the current settings (in the spare slot) before the first dot...
    void (*saveCurrent)(void* context) = nullptr;
    // ...and puts them back after each dot.
    void (*restoreCurrent)(void* context) = nullptr;
    // Renders the dot's settings on the current image into `image` (RGBA,
    // 8-bit, already created at the picture's size). False: the dot's
    // picture is the grey ramp.
    bool (*render)(void* context, int32_t dot, TiledImage* image) = nullptr;
    // Dots done so far of 25, for the progress display (may be null).
    void (*progress)(void* context, int32_t done, int32_t total) = nullptr;
    // Asked after each dot: true stops the page, which is then not written
    // (may be null).
    bool (*cancelled)(void* context) = nullptr;
};

// The size of a dot's picture for a filter rectangle of w x h: the longer
// side becomes 300 (smaller images are enlarged), each side at least 1.
void memoryDotPictureSize(int32_t width, int32_t height, int32_t* pictureWidth, int32_t* pictureHeight);

// Writes the memory-dots page: one cell per filled dot, its picture
// "dot N.jpg" (N = dot + 1) rendered at memoryDotPictureSize and shown at
// that size. `cells` receives the number of cells. kPageCancelled when the
// source reported a cancel.
int32_t writeMemoryDotsPage(const std::string& pagePath, int32_t filterWidth, int32_t filterHeight,
                            const MemoryDotsSource& source, int32_t* cells,
                            const PageProfile& profile = PageProfile());

}  // namespace lumenfall

#endif
