// The presets page: its exact markup, what the escapers make of hostile and
// foreign names, and that browsers' readers accept the page and its pictures.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "export/html_page.h"
#include "export/jpeg_test_support.h"
#include "export/jpeg_writer.h"
#include "params/defaults.h"
#include "params/preset_format.h"

using namespace lumenfall;
using namespace lumenfall_test;
namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void savePreset(const fs::path& path, bool withThumbnail, int shade) {
    ParameterBlock block;
    resetToDefaults(block);
    std::vector<uint8_t> thumbnail;
    if (withThumbnail) {
        std::vector<uint8_t> rgb(40 * 30 * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * shade);
        const Rgb8View view{rgb.data(), 40, 30};  // the source reads through it
        const PictureSource picture = pictureFromRgb8(view);
        ASSERT_EQ(encodeJpegWithHeader(&picture, JpegOptions(), thumbnail), kJpegWritten);
    }
    ASSERT_EQ(savePresetFile(block, path.string().c_str(), withThumbnail ? &thumbnail : nullptr), kPresetOk);
}

struct PageFolder {
    fs::path root = fs::temp_directory_path() / ("lf-page-" + std::to_string(getpid()));
#ifdef _WIN32
    fs::path presets = root / "presets";  // "<" and ">" cannot be in a Windows name
#else
    fs::path presets = root / "<b>\xE9";
#endif
    PageFolder() {
        fs::remove_all(root);
        fs::create_directories(presets / "folder.q4q");
    }
    ~PageFolder() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

}  // namespace

TEST(HtmlPage, EscapersAndSanitiser) {
    EXPECT_EQ(escapeEntities("a\"&<>{~\x7f\x80\x9f\xa0\xe9\xff z"),
              "a&quot;&amp;&lt;&gt;&#123;&#126;&#127;&#128;&#159;&nbsp;&eacute;&yuml; z");
    EXPECT_EQ(sanitiseFileName("\x01x\\y/z:w\xE9\x8E\x80"), " x_y_z_w\x89_ ");
    EXPECT_EQ(escapeUrl("Sun & Moon_1.Z\xE9"), "Sun%20%26%20Moon%5f1%2eZ%e9");
    EXPECT_EQ(withoutExtension("a.b.q4q"), "a.b");
}

// Seven presets with hostile and foreign names in a folder named "<b>" and
// byte 233: a row of 5, a spacer row, a row of 2 and 3 fillers.
TEST(HtmlPage, PresetsPageMatchesTheGoldenAndEveryPictureDecodes) {
#ifdef _WIN32
    GTEST_SKIP() << "the names hold characters a Windows file name cannot";
#endif
    PageFolder f;
    const char* names[7] = {"Sun & Moon", "Sun:1", "Sun_1", "a\"><img src=x onerror=alert(1)>", "caf\xE9", "plain", "zz"};
    for (int i = 0; i < 7; ++i) savePreset(f.presets / (std::string(names[i]) + ".q4q"), i != 6, i + 3);
    std::ofstream(f.presets / "notes.txt") << "not a preset";
    const fs::path page = f.root / "page.html";
    int32_t count = 0;
    ASSERT_EQ(writePresetsPage(f.presets.string() + "/", page.string(), &count), kPageWritten);
    EXPECT_EQ(count, 7);

    std::string html = readText(page);
    const std::string folderText = escapeEntities(f.presets.string() + "/");
    ASSERT_NE(html.find("presets from " + folderText + "<br>"), std::string::npos);
    EXPECT_NE(folderText.find("&lt;b&gt;&eacute;/"), std::string::npos);
    EXPECT_NE(html.find(">Sun &amp; Moon</font>"), std::string::npos);
    EXPECT_NE(html.find("src=\"web_images/Sun%20%26%20Moon.jpg\" alt=\"Sun &amp; Moon.jpg\""), std::string::npos);
    // Nothing of a name arrives as markup.
    EXPECT_EQ(html.find("<img src=x"), std::string::npos);
    EXPECT_EQ(html.find("alert(1)>"), std::string::npos);
    EXPECT_EQ(html.find("a\"&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<b>\xE9"), std::string::npos);

    const std::string golden = std::string(LF_GOLDEN_DIR) + "/presets_page_7.html";
    std::string stored = html;
    stored.replace(stored.find(folderText), folderText.size(), "@FOLDER@");
    if (std::getenv("LUMENFALL_REGENERATE_GOLDENS") != nullptr) std::ofstream(golden, std::ios::binary) << stored;
    EXPECT_EQ(stored, readText(golden)) << "the page's markup changed; see scripts/regenerate-goldens.sh";

    // Every src names a file that a reader decodes, with its own name for Sun_1.
    std::smatch m;
    std::vector<std::string> sources;
    for (std::string rest = html; std::regex_search(rest, m, std::regex("src=\"([^\"]*)\"")); rest = m.suffix())
        sources.push_back(m[1]);
    EXPECT_EQ(sources.size(), 7u * 5u);
    int status = 0;
    for (const std::string& src : sources) {
        std::string name;
        for (size_t i = 0; i < src.size(); ++i)
            name += src[i] == '%' ? char(std::stoi(src.substr(i + 1, 2), nullptr, 16)) : src[i], i += src[i] == '%' ? 2 : 0;
        ASSERT_TRUE(fs::exists(f.root / name)) << name;
        if (toolPresent("identify")) {
            runCommand("identify '" + (f.root / name).string() + "' >/dev/null 2>&1", &status);
            EXPECT_EQ(status, 0) << name;
        }
    }
    EXPECT_TRUE(fs::exists(f.root / "web_images" / "Sun_1 2.jpg"));
    if (toolPresent("tidy")) {
        const std::string out = runCommand("tidy -q -e '" + page.string() + "' 2>&1", &status);
        EXPECT_EQ(out.find("Error:"), std::string::npos) << out;
    }
}

TEST(HtmlPage, AnEmptyFolderGivesAnEmptyTable) {
    PageFolder f;
    const fs::path page = f.root / "empty.html";
    ASSERT_EQ(writePresetsPage(f.presets.string(), page.string(), nullptr), kPageWritten);
    const std::string html = readText(page);
    EXPECT_NE(html.find("align=\"center\"></table><br>\r\n</body></html>"), std::string::npos);
    EXPECT_EQ(html.find("<tr>"), std::string::npos);
    EXPECT_EQ(html.size(), html.rfind("</html>") + 7);
    // A page that cannot be created leaves nothing half-written.
    EXPECT_EQ(writePresetsPage(f.presets.string(), (f.root / "missing" / "p.html").string(), nullptr),
              kPageCannotCreate);
}

TEST(HtmlPage, MemoryDotsPageShowsFilledDotsAtTheirRenderedSize) {
    int32_t w = 0, h = 0;
    memoryDotPictureSize(4000, 3000, &w, &h);
    EXPECT_EQ(w * 1000 + h, 300 * 1000 + 225);
    memoryDotPictureSize(1, 700, &w, &h);
    EXPECT_EQ(w * 1000 + h, 1 * 1000 + 300);
    memoryDotPictureSize(100, 50, &w, &h);  // smaller images are enlarged
    EXPECT_EQ(w * 1000 + h, 300 * 1000 + 150);

    struct Dots {
        std::vector<int32_t> filled;
        std::string calls;
    } dots;
    MemoryDotsSource source;
    source.context = &dots;
    source.filled = [](void* c, int32_t dot) {
        const auto& f = static_cast<Dots*>(c)->filled;
        return std::find(f.begin(), f.end(), dot) != f.end();
    };
    source.saveCurrent = [](void* c) { static_cast<Dots*>(c)->calls += "S"; };
    source.restoreCurrent = [](void* c) { static_cast<Dots*>(c)->calls += "R"; };
    source.render = [](void* c, int32_t dot, TiledImage*) {
        static_cast<Dots*>(c)->calls += std::to_string(dot);
        return true;
    };
    PageFolder f;
    const fs::path page = f.root / "dots.html";
    int32_t cells = -1;
    ASSERT_EQ(writeMemoryDotsPage(page.string(), 100, 50, source, &cells), kPageWritten);
    std::string html = readText(page);
    EXPECT_EQ(cells, 0);
    EXPECT_EQ(html.find("Table_01"), std::string::npos) << "no filled dot, no picture cell";
    EXPECT_NE(html.find("<title>Lumenfall memory dots</title>"), std::string::npos);
    EXPECT_EQ(dots.calls, "");

    dots.filled = {0, 24};
    ASSERT_EQ(writeMemoryDotsPage(page.string(), 100, 50, source, &cells), kPageWritten);
    html = readText(page);
    EXPECT_EQ(cells, 2);
    EXPECT_EQ(dots.calls, "S0R24R");
    EXPECT_NE(html.find("src=\"web_images/dot%201.jpg\" alt=\"dot 1.jpg\" width=\"300\" height=\"150\""),
              std::string::npos);
    EXPECT_NE(html.find(">dot 25</font>"), std::string::npos);
    EXPECT_TRUE(fs::exists(f.root / "web_images" / "dot 25.jpg"));
    // Four columns: two cells and two fillers close the row.
    size_t fillers = 0;
    for (size_t at = html.find("Hoefler"); at != std::string::npos; at = html.find("Hoefler", at + 1)) ++fillers;
    EXPECT_EQ(fillers, 2u);
}
