// Runs the picture cartridges and the demo through tamo-headless and compares the last frame
// with a golden PNG that a person has looked at (tests/pictures/golden/NAME.png).
//
// On a mismatch the actual picture is written to actual/NAME.png in the build tree, and the
// first differing pixel and the number of differing pixels are reported. With the environment
// variable TAMO_UPDATE_GOLDEN=1 the runner writes the actual pictures as the new goldens instead
// of comparing them: look at every one of them before committing.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 160;

struct Picture {
    const char* name;  // the cartridge picture_NAME.gba and the golden NAME.png
    unsigned frames;   // enough for the cartridge to finish drawing
};

// Names the picture in test listings, instead of its bytes.
void PrintTo(const Picture& picture, std::ostream* os) {
    *os << picture.name;
}

// Every picture cartridge of tests/pictures, with the frames it runs (each has finished drawing
// well within them; the picture is still from then on).
constexpr Picture kPictures[] = {
    {"text", 30},           {"affine_mode1", 30},  {"affine_mode2", 30},   {"bitmap", 30},
    {"sprites_shapes", 30}, {"sprites_attrs", 30}, {"sprites_affine", 30}, {"sprites_2d", 30},
    {"windows", 30},        {"effects", 30},       {"mosaic", 30},
};

// The demo's golden: its screen after its first seconds, no key pressed.
constexpr unsigned kDemoFrames = 120;

struct Image {
    std::vector<uint8_t> rgb;  // kWidth * kHeight * 3 bytes, row after row
};

std::optional<Image> read_png(const fs::path& path, std::string& error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = image.message;
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGB;
    if (image.width != kWidth || image.height != kHeight) {
        error = "the picture is " + std::to_string(image.width) + "x" +
                std::to_string(image.height) + ", not 240x160";
        png_image_free(&image);
        return std::nullopt;
    }
    Image result;
    result.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.rgb.data(), 0, nullptr)) {
        error = image.message;
        return std::nullopt;
    }
    return result;
}

bool update_goldens() {
    const char* value = std::getenv("TAMO_UPDATE_GOLDEN");
    return value != nullptr && std::string(value) == "1";
}

// A fresh folder per run, so that runs never see each other's files. Kept when the test has
// failed by then, for a look at the files.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tamo-picture-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty() && !::testing::Test::HasFailure()) fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

struct HeadlessRun {
    int exit_status = -1;
    std::string output;  // what tamo-headless printed
    fs::path screenshot;
};

// Copies the cartridge into the folder and runs it there, writing the last frame to NAME.png.
HeadlessRun run_headless(const fs::path& folder, const fs::path& rom, const std::string& name,
                         unsigned frames, const std::string& keys = "") {
    HeadlessRun run;
    const fs::path copy = folder / (name + ".gba");
    std::error_code ec;
    fs::copy_file(rom, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        run.output = "cannot copy " + rom.string() + ": " + ec.message();
        return run;
    }
    run.screenshot = folder / (name + ".png");
    const fs::path log = folder / (name + ".txt");
    std::string command = "cd '" + folder.string() + "' && '" TAMO_HEADLESS "' --frames " +
                          std::to_string(frames) + " --screenshot '" + run.screenshot.string() +
                          "'";
    if (!keys.empty()) command += " --keys '" + keys + "'";
    command += " '" + copy.filename().string() + "' > '" + log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    if (FILE* f = std::fopen(log.c_str(), "rb")) {
        char buffer[512];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) run.output.append(buffer, n);
        std::fclose(f);
    }
    return run;
}

// Compares the screenshot of a run with the golden picture NAME.png, or writes it as the new
// golden when goldens are being renewed.
void expect_golden(const HeadlessRun& run, const std::string& name) {
    ASSERT_EQ(run.exit_status, 0) << run.output;
    std::string error;
    std::optional<Image> actual = read_png(run.screenshot, error);
    ASSERT_TRUE(actual) << "screenshot " << run.screenshot << ": " << error;

    const fs::path golden_path = fs::path(TAMO_GOLDEN_DIR) / (name + ".png");
    std::error_code ec;
    if (update_goldens()) {
        fs::copy_file(run.screenshot, golden_path, fs::copy_options::overwrite_existing, ec);
        ASSERT_FALSE(ec) << "cannot write " << golden_path << ": " << ec.message();
        std::printf("wrote the golden picture %s: look at it before committing\n",
                    golden_path.c_str());
        return;
    }

    const fs::path actual_path = fs::path(TAMO_ACTUAL_DIR) / (name + ".png");
    auto keep_actual = [&] {
        fs::create_directories(actual_path.parent_path(), ec);
        fs::copy_file(run.screenshot, actual_path, fs::copy_options::overwrite_existing, ec);
    };
    std::optional<Image> golden = read_png(golden_path, error);
    if (!golden) {
        keep_actual();
        FAIL() << "no golden picture " << golden_path << " (" << error << "); the picture drawn is "
               << actual_path << ". Look at it; run with TAMO_UPDATE_GOLDEN=1 to make it golden.";
    }

    size_t differing = 0;
    int first_x = -1, first_y = -1;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const size_t i = size_t(y * kWidth + x) * 3;
            if (std::memcmp(&actual->rgb[i], &golden->rgb[i], 3) == 0) continue;
            if (differing++ == 0) first_x = x, first_y = y;
        }
    }
    if (differing == 0) {
        fs::remove(actual_path, ec);
        return;
    }
    keep_actual();
    const size_t i = size_t(first_y * kWidth + first_x) * 3;
    char detail[200];
    std::snprintf(detail, sizeof detail,
                  "first at (%d, %d): drawn #%02X%02X%02X, golden #%02X%02X%02X", first_x, first_y,
                  actual->rgb[i], actual->rgb[i + 1], actual->rgb[i + 2], golden->rgb[i],
                  golden->rgb[i + 1], golden->rgb[i + 2]);
    ADD_FAILURE() << name << ": " << differing << " pixels differ from " << golden_path << ", "
                  << detail << "; the picture drawn is " << actual_path;
}

class PictureTest : public ::testing::TestWithParam<Picture> {};

TEST_P(PictureTest, MatchesGolden) {
    const Picture& picture = GetParam();
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const fs::path rom =
        fs::path(TAMO_PICTURE_DIR) / (std::string("picture_") + picture.name + ".gba");
    const HeadlessRun run = run_headless(folder.path(), rom, picture.name, picture.frames);
    expect_golden(run, picture.name);
}

INSTANTIATE_TEST_SUITE_P(Pictures, PictureTest, ::testing::ValuesIn(kPictures),
                         [](const ::testing::TestParamInfo<Picture>& info) {
                             return std::string(info.param.name);
                         });

// A cartridge added to tests/pictures must also be listed above, or it would never be compared.
TEST(PictureList, NamesEveryPictureCartridge) {
    std::set<std::string> listed;
    for (const Picture& picture : kPictures) listed.insert(picture.name);
    std::set<std::string> sources;
    for (const auto& entry : fs::directory_iterator(TAMO_PICTURE_SOURCE_DIR))
        if (entry.path().extension() == ".s") sources.insert(entry.path().stem().string());
    EXPECT_EQ(sources, listed);
}

TEST(Demo, MatchesGoldenAfterItsFirstSeconds) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const HeadlessRun run = run_headless(folder.path(), TAMO_DEMO_ROM, "demo", kDemoFrames);
    expect_golden(run, "demo");
}

TEST(Demo, AnswersTheKeys) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const HeadlessRun still = run_headless(folder.path(), TAMO_DEMO_ROM, "still", kDemoFrames);
    ASSERT_EQ(still.exit_status, 0) << still.output;
    const HeadlessRun moved =
        run_headless(folder.path(), TAMO_DEMO_ROM, "moved", kDemoFrames, "RIGHT+DOWN@40-100");
    ASSERT_EQ(moved.exit_status, 0) << moved.output;
    std::string error;
    std::optional<Image> a = read_png(still.screenshot, error);
    ASSERT_TRUE(a) << error;
    std::optional<Image> b = read_png(moved.screenshot, error);
    ASSERT_TRUE(b) << error;
    EXPECT_NE(a->rgb, b->rgb) << "holding Right and Down changed nothing on the screen";
}

}  // namespace
