// The presets page: its exact markup, what the escapers make of hostile and
// foreign names, and that browsers' readers accept the page and its pictures.
#include <gtest/gtest.h>

#include <unistd.h>

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
        const PictureSource picture = pictureFromRgb8(Rgb8View{rgb.data(), 40, 30});
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
