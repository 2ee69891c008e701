#include "export/html_page.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "export/border_gifs.h"
#include "export/jpeg_writer.h"
#include "export/thumbnail_image.h"
#include "params/defaults.h"
#include "params/preset_format.h"
#include "params/product_identity.h"
#include "platform/replacing_file.h"
#include "platform/folder_listing.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr int32_t kShownThumbnailSide = 88;

// HTML 4.01's names of the ISO-8859-1 code points 160..255.
const char* const kLatin1Entities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

const char* const kCellOpen = "<td align=\"center\" valign=\"top\" width=\"20%\">";

std::string quoted(int32_t n) { return "\"" + std::to_string(n) + "\""; }

std::string lowerAscii(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The folder part of a path, with its separator; "" for a bare name.
std::string folderOf(const std::string& path, char* separator) {
    const size_t slash = path.find_last_of("/\\");
    *separator = slash == std::string::npos ? '/' : path[slash];
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::atomic<bool> g_presetsPageRunning{false};

// Clears the once-at-a-time flag however the export ends.
struct PresetsPageGuard {
    bool acquired = !g_presetsPageRunning.exchange(true);
    ~PresetsPageGuard() {
        if (acquired) g_presetsPageRunning = false;
    }
};

struct StoredThumbnail {
    std::vector<uint8_t> jpeg;
    int32_t width = 0;
    int32_t height = 0;
};

bool acceptThumbnail(void* context, const uint8_t* jpeg, size_t size, int32_t width, int32_t height) {
    StoredThumbnail& t = *static_cast<StoredThumbnail*>(context);
    t.jpeg.assign(jpeg, jpeg + size);
    t.width = width;
    t.height = height;
    return true;
}

JpegOptions pictureOptions(const PageProfile& profile) {
    JpegOptions options;
    options.iccProfile = profile.size > 0 ? profile.data : nullptr;
    options.iccProfileSize = options.iccProfile ? profile.size : 0;
    return options;
}

// The grey ramp as a JPEG file: the picture of a cell that has no other.
bool writeRampPicture(const std::string& picturePath, const JpegOptions& options) {
    std::vector<uint8_t> ramp(128 * 128 * 3);
    fillGreyRamp(ramp.data());
    const Rgb8View view{ramp.data(), 128, 128};
    const PictureSource picture = pictureFromRgb8(view);
    EncodedJpeg encoded;
    if (encodeJpeg(&picture, options, encoded) != kJpegWritten) return false;
    return writeFileReplacing(picturePath.c_str(), encoded.bytes.data(), encoded.bytes.size()) == kFileOk;
}

// The preset's thumbnail as a JPEG file at its stored size, or the grey ramp
// when it has none or it does not decode.
bool writePresetPicture(const std::string& presetPath, const std::string& picturePath,
                        const JpegOptions& options) {
    StoredThumbnail stored;
    const PresetThumbnailSink sink{&stored, acceptThumbnail};
    const std::unique_ptr<ParameterBlock> untouched(new ParameterBlock());
    resetToDefaults(*untouched);
    PresetLoadReport report;
    loadPresetFile(untouched.get(), presetPath.c_str(), kReadThumbnailOnly, &sink, &report);

    TiledImage image;
    initTiledImage(image, nullptr, nullptr);
    bool decoded = false;
    if (!stored.jpeg.empty() && stored.width > 0 && stored.height > 0 &&
        createTiledImage(&image, stored.width, stored.height, kStoreRgba8, 0, false)) {
        decoded = decodeThumbnailIntoImage(stored.jpeg.data(), stored.jpeg.size(), &image) == 0;
    }
    if (!decoded) {
        freeTiledImage(&image);
        return writeRampPicture(picturePath, options);
    }
    EncodedJpeg encoded;
    const PictureSource picture = pictureFromTiledImage(&image);
    const int32_t result = encodeJpeg(&picture, options, encoded);
    freeTiledImage(&image);
    if (result != kJpegWritten) return false;
    return writeFileReplacing(picturePath.c_str(), encoded.bytes.data(), encoded.bytes.size()) == kFileOk;
}

}  // namespace

std::string escapeEntities(const std::string& bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        if (b == 34) out += "&quot;";
        else if (b == 38) out += "&amp;";
        else if (b == 60) out += "&lt;";
        else if (b == 62) out += "&gt;";
        else if (b >= 123 && b <= 159) {
            char code[8];
            std::snprintf(code, sizeof code, "&#%03d;", int(b));
            out += code;
        } else if (b >= 160) {
            out += '&';
            out += kLatin1Entities[b - 160];
            out += ';';
        } else {
            out += char(b);
        }
    }
    return out;
}

std::string sanitiseFileName(const std::string& base) {
    std::string out = base;
    for (char& c : out) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 32) {
            b = ' ';
        } else if (b > 127) {
            b = uint8_t((b & 127) + 32);
            if (b == '.') b = '_';
        }
        if (b == '\\' || b == '/' || b == ':') b = '_';
        c = char(b);
    }
    return out;
}

std::string escapeUrl(const std::string& bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9')) {
            out += char(b);
        } else {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02x", unsigned(b));
            out += code;
        }
    }
    return out;
}

std::string withoutExtension(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void fillGreyRamp(uint8_t* rgb128) {
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            for (int c = 0; c < 3; ++c) rgb128[(y * 128 + x) * 3 + c] = uint8_t(255 - y);
}

void HtmlPageWriter::text(const std::string& s) {
    if (ok_ && !file_.write(s.data(), s.size())) ok_ = false;
}

int32_t HtmlPageWriter::begin(const std::string& pagePath, PageKind kind, const std::string& presetsFolder) {
    char separator = '/';
    picturesFolder_ = folderOf(pagePath, &separator) + kPicturesFolderName + separator;
    columns_ = kind == PageKind::Presets ? kPresetsPageColumns : kDotsPageColumns;
    column_ = row_ = 1;
    used_.clear();
    added_.clear();
    ok_ = false;
    const std::string folder = picturesFolder_.substr(0, picturesFolder_.size() - 1);
    madeFolder_ = !pathExists(folder);
    if (!makeFolder(folder)) return kPageCannotCreate;
    for (int32_t i = 0; i < kBorderGifCount; ++i) noteNewFile(picturesFolder_ + borderGif(i)->fileName);
    if (writeBorderGifs(picturesFolder_.c_str()) != 0 || file_.open(pagePath.c_str()) != kFileOk) {
        removeAddedFiles();
        return kPageCannotCreate;
    }
    ok_ = true;
    const std::string product = kProductName;
    text("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n\r\n");
    text("<html>\r\n<head>\r\n");
    text("<meta http-equiv=\"content-type\" content=\"text/html;charset=ISO-8859-1\">\r\n");
    text("<meta name=\"generator\" content=\"" + std::string(kMakerName) + " " + product + "\">");
    text("<title>" + product + (kind == PageKind::Presets ? " presets" : " memory dots") +
         "</title>\r\n</head>\r\n\r\n");
    text("<body bgcolor=\"#ffffff\">\r\n<p><br>\r\n\r\n");
    text("<font size=\"4\" face=\"Gill Sans,Verdana,Helvetica,Arial,Geneva\"><b>" + product);
    if (kind == PageKind::Presets) text(" presets from " + escapeEntities(presetsFolder));
    else text(" memory dots ");
    text("<br>\r\n</b></font></p>");
    text("<table width=\"100%\" border=\"0\" cellspacing=\"12\" cellpadding=\"0\" align=\"center\">");
    return ok_ ? kPageWritten : kPageWriteError;
}

std::string HtmlPageWriter::reservePicture(const std::string& base, std::string* chosenBase) {
    const std::string safe = sanitiseFileName(base);
    std::string chosen = safe;
    for (int n = 2; used_.count(lowerAscii(chosen)) != 0; ++n) chosen = safe + " " + std::to_string(n);
    used_.insert(lowerAscii(chosen));
    *chosenBase = chosen;
    // Both endings the pages use: whichever the caller writes is noted.
    for (const char* ending : {".jpg", ".gif"}) noteNewFile(picturesFolder_ + chosen + ending);
    return picturesFolder_ + chosen;
}

void HtmlPageWriter::noteNewFile(const std::string& path) {
    if (!pathExists(path)) added_.push_back(path);
}

void HtmlPageWriter::removeAddedFiles() {
    for (const std::string& path : added_) std::remove(path.c_str());
    added_.clear();
    // Only an empty folder goes: anything else in it was there before.
    if (madeFolder_) removeEmptyFolder(picturesFolder_.substr(0, picturesFolder_.size() - 1));
    madeFolder_ = false;
}

void HtmlPageWriter::imageTag(const std::string& base, const std::string& extension, int32_t w, int32_t h,
                              bool alt) {
    text("<img src=\"" + std::string(kPicturesFolderName) + "/");
    // `base` is the picture's file name as written (sanitised once already).
    text(escapeUrl(base) + extension + "\"");
    if (alt) text(" alt=\"" + escapeEntities(base) + extension + "\"");
    text(" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) + "\" border=\"0\">");
}

void HtmlPageWriter::pictureCell(const std::string& base, const std::string& extension, int32_t w, int32_t h) {
    if (column_ == 1) text("<tr>");
    text(std::string(kCellOpen) + kCrLf);
    text("<table id=\"Table_01\" width=" + quoted(w + 6) +
         " border=\"0\" cellspacing=\"0\" cellpadding=\"0\" height=" + quoted(h + 7) + ">\r\n");
    text("<tr>\r\n<td colspan=\"3\">");
    imageTag("top", ".gif", w + 6, 2, false);
    text("</td>\r\n</tr>\r\n<tr>\r\n<td>");
    imageTag("left", ".gif", 3, h, false);
    text("</td>\r\n<td>");
    imageTag(base, extension, w, h, true);
    text("</td>\r\n<td>");
    imageTag("right", ".gif", 3, h, false);
    text("</td>\r\n</tr>\r\n<tr>\r\n<td colspan=\"3\">");
    imageTag("bottom", ".gif", w + 6, 5, false);
    text("</td>\r\n</tr>\r\n</table>\r\n");
    text("<div align=\"center\">\r\n<br><font  size=\"3\" face=\"Gill Sans,Verdana,Helvetica,Arial\">");
    text(escapeEntities(base) + "</font></div></td>\r\n\r\n");
    advanceColumn();
}

void HtmlPageWriter::advanceColumn() {
    if (++column_ <= columns_) return;
    text("</tr>");
    text(kCrLf);
    text("<tr>");
    for (int32_t c = 0; c < columns_; ++c) text(std::string(kCellOpen) + "<p>&nbsp;</p></td>");
    text("</tr>");
    ++row_;
    column_ = 1;
}

void HtmlPageWriter::fillerCell() {
    text(std::string(kCellOpen) + "<p></p>\r\n<div align=\"center\">\r\n");
    text("<p><font face=\"Hoefler Text,Times New Roman,Georgia,Times\"><b></b></font></p>\r\n");
    text("</div>\r\n</td>\r\n\r\n");
    advanceColumn();
}

void HtmlPageWriter::abandon() {
    if (file_.isOpen()) file_.abandon();
    removeAddedFiles();
    ok_ = false;
}

int32_t HtmlPageWriter::end() {
    if (!file_.isOpen()) return kPageCannotCreate;
    if (column_ >= 2) {
        while (column_ != 1) fillerCell();
    }
    text("</table><br>\r\n</body></html>");
    if (!ok_ || file_.commit() != kFileOk) {
        abandon();
        return kPageWriteError;
    }
    return kPageWritten;
}

int32_t writePresetsPage(const std::string& presetsFolder, const std::string& pagePath, int32_t* presetCount,
                         const PageProfile& profile, const std::set<std::string>* skipped) {
    if (presetCount != nullptr) *presetCount = 0;
    PresetsPageGuard guard;
    if (!guard.acquired) return kPageBusy;
    std::vector<FolderEntry> entries;
    // An unreadable folder lists nothing: the page says so by its empty table.
    listFolder(presetsFolder, &entries);
    HtmlPageWriter page;
    const int32_t begun = page.begin(pagePath, PageKind::Presets, presetsFolder);
    if (begun != kPageWritten) return begun;
    std::string folder = presetsFolder;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder || entry.name.find(".q4q") == std::string::npos) continue;
        if (skipped != nullptr && skipped->count(entry.name) != 0) continue;
        std::string base;
        const std::string picture = page.reservePicture(withoutExtension(entry.name), &base);
        // The cell first: a picture that cannot be written leaves its cell on the page.
        page.pictureCell(base, ".jpg", kShownThumbnailSide, kShownThumbnailSide);
        writePresetPicture(folder + entry.name, picture + ".jpg", pictureOptions(profile));
        if (presetCount != nullptr) ++*presetCount;
    }
    return page.end();
}

void memoryDotPictureSize(int32_t width, int32_t height, int32_t* pictureWidth, int32_t* pictureHeight) {
    const int64_t w = width > 0 ? width : 1, h = height > 0 ? height : 1;
    const int64_t longer = w > h ? w : h;
    const int64_t pw = w * 300 / longer, ph = h * 300 / longer;
    *pictureWidth = int32_t(pw < 1 ? 1 : pw);
    *pictureHeight = int32_t(ph < 1 ? 1 : ph);
}

int32_t writeMemoryDotsPage(const std::string& pagePath, int32_t filterWidth, int32_t filterHeight,
                            const MemoryDotsSource& source, int32_t* cells, const PageProfile& profile) {
    if (cells != nullptr) *cells = 0;
    HtmlPageWriter page;
    const int32_t begun = page.begin(pagePath, PageKind::MemoryDots, std::string());
    if (begun != kPageWritten) return begun;
    int32_t w = 0, h = 0;
    memoryDotPictureSize(filterWidth, filterHeight, &w, &h);
    const JpegOptions options = pictureOptions(profile);
    constexpr int32_t kDots = 25;
    bool saved = false;
    for (int32_t dot = 0; dot < kDots; ++dot) {
        if (source.progress != nullptr) source.progress(source.context, dot, kDots);
        if (source.filled == nullptr || !source.filled(source.context, dot)) continue;
        if (!saved && source.saveCurrent != nullptr) source.saveCurrent(source.context);
        saved = true;
        std::string base;
        const std::string picture = page.reservePicture("dot " + std::to_string(dot + 1), &base);
        page.pictureCell(base, ".jpg", w, h);
        if (cells != nullptr) ++*cells;
        TiledImage image;
        initTiledImage(image, nullptr, nullptr);
        bool written = false;
        if (source.render != nullptr && createTiledImage(&image, w, h, kStoreRgba8, 0, false) &&
            source.render(source.context, dot, &image)) {
            EncodedJpeg encoded;
            const PictureSource pixels = pictureFromTiledImage(&image);
            written = encodeJpeg(&pixels, options, encoded) == kJpegWritten &&
                      writeFileReplacing((picture + ".jpg").c_str(), encoded.bytes.data(), encoded.bytes.size()) ==
                          kFileOk;
        }
        freeTiledImage(&image);
        if (source.restoreCurrent != nullptr) source.restoreCurrent(source.context);
        if (source.cancelled != nullptr && source.cancelled(source.context)) {
            page.abandon();
            return kPageCancelled;
        }
        // A dot that could not be rendered shows the ramp, never a broken picture.
        if (!written) writeRampPicture(picture + ".jpg", options);
    }
    if (source.progress != nullptr) source.progress(source.context, kDots, kDots);
    return page.end();
}

}  // namespace lumenfall
