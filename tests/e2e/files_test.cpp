// The user's files around a run: never lost or overwritten, odd files refused without a hang, true
// exit statuses and messages. Run as nobody when the tests run as root, to whom modes mean nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
const std::vector<uint8_t> kLoop = {0xfe, 0xff, 0xff, 0xea};  // b .
const std::vector<uint8_t> kStop = {0x00, 0x00, 0x00, 0xf0};  // condition 0xF: the machine stops
std::vector<uint8_t> bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 13 + seed);
    return b;
}

struct Case {
    const char* name;
    std::function<void(const TempDir&)> setup;
    std::vector<std::string> arguments;
    int status;
    std::string message;                                  // a part of standard error
    std::function<void(const TempDir&)> check = nullptr;  // the files afterwards
    bool output_closed = false;                           // standard output is a pipe nobody reads
};

// Runs tamo-headless in `dir` with input.txt (when present) on standard input, as `uid`.
std::pair<int, std::string> run(const TempDir& dir, const Case& c, uid_t uid, gid_t gid) {
    int out[2];
    if (pipe(out) != 0) return {-1, ""};
    pid_t pid = fork();
    if (pid == 0) {
        alarm(60);  // a hang fails the case instead of the suite
        int err = open(dir.file("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open(dir.file("input.txt").c_str(), O_RDONLY);
        dup2(in >= 0 ? in : open("/dev/null", O_RDONLY), 0);
        dup2(c.output_closed ? out[1] : err, 1);
        dup2(err, 2);
        close(out[0]);
        if (chdir(dir.path().c_str()) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(99);
        std::string program = dir.file("tamo-headless");  // a copy that the user can reach
        std::vector<char*> argv{program.data()};
        for (const std::string& a : c.arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(98);
    }
    close(out[0]);
    close(out[1]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    std::vector<uint8_t> err = read_file(dir.file("err.txt"));
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(err.begin(), err.end())};
}

void same(const std::string& path, const std::vector<uint8_t>& expected) {
    EXPECT_EQ(read_file(path), expected) << path;
}

TEST(HeadlessFiles, NeverLostOrOverwrittenNoHangTruthfulStatus) {
    uid_t uid = getuid();
    gid_t gid = getgid();
    if (uid == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "running as root and no user 'nobody' to run as";
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    const auto save = bytes(0x30000, 1), big = bytes(0x30010, 2), sram = bytes(0x10000, 3);
    auto rom = [](const TempDir& d) { write_file(d.file("game.gba"), kLoop); };
    auto with = [&](std::vector<uint8_t> contents, mode_t mode) {
        return [=](const TempDir& d) {
            rom(d), write_file(d.file("game.sav"), contents);
            chmod(d.file("game.sav").c_str(), mode);
        };
    };
    auto fifo = [&](const char* name) {
        return [=](const TempDir& d) { rom(d), mkfifo(d.file(name).c_str(), 0666); };
    };
    auto written = [](const TempDir& d) { EXPECT_EQ(fs::file_size(d.file("game.sav")), 0x30000u); };
    auto kept = [&](const TempDir& d) { same(d.file("game.sav"), save); };
    const std::vector<std::string> run1 = {"--frames", "1", "game.gba"};
    const std::vector<std::string> debug = {"--debugger", "--count", "0", "game.gba"};
    // clang-format off
    const std::vector<Case> cases = {
        {"unreadable save", with(save, 0), run1, 3, "game.sav': Permission denied", kept},
        {"read-only save", with(save, 0444), run1, 3, "game.sav': Permission denied", kept},
        {"save larger than the layout", with(big, 0644), run1, 0, "kept as 'game.sav.bak'",
         [&](const TempDir& d) { same(d.file("game.sav.bak"), big), written(d); }},
        {"64 KB image is the SRAM", with(sram, 0644), run1, 0, "read as the 64 KB SRAM",
         [&](const TempDir& d) {
             EXPECT_EQ(read_file(d.file("game.sav"))[0x20005], sram[5]);
             same(d.file("game.sav.bak"), sram);
         }},
        {"stale temporary link", [&](const TempDir& d) {
             rom(d), write_file(d.file("victim"), {7});
             fs::create_symlink("victim", d.file("game.sav.tmp"));
         }, run1, 0, "", [&](const TempDir& d) { same(d.file("victim"), {7}), written(d); }},
        {"save is a link", [&](const TempDir& d) {
             rom(d), fs::create_symlink("real.sav", d.file("game.sav"));
             write_file(d.file("real.sav"), {1});
         }, run1, 0, "", [&](const TempDir& d) {
             EXPECT_TRUE(fs::is_symlink(d.file("game.sav")));
             EXPECT_EQ(fs::file_size(d.file("real.sav")), 0x30000u);
         }},
        {"ROM named like its save", [&](const TempDir& d) { write_file(d.file("g.sav"), kLoop); },
         {"g.sav"}, 0, "", [](const TempDir& d) {
             same(d.file("g.sav"), kLoop);
             EXPECT_TRUE(fs::exists(d.file("g.sav.sav")));
         }},
        {"save in a read-only folder", [&](const TempDir& d) {
             fs::create_directory(d.file("ro")), write_file(d.file("ro/game.gba"), kLoop);
         }, {"ro/game.gba"}, 3, "ro/game.sav.tmp': Permission denied"},
        {"FIFO as ROM", fifo("f.gba"), {"f.gba"}, 2, "'f.gba': is not a regular file"},
        {"device as ROM", rom, {"/dev/zero"}, 2, "'/dev/zero': is not a regular file"},
        {"FIFO as save", fifo("game.sav"), run1, 3, "game.sav': is not a regular file",
         [](const TempDir& d) { EXPECT_TRUE(fs::is_fifo(d.file("game.sav"))); }},
        {"FIFO as --ini", fifo("x.ini"), {"--ini", "x.ini", "game.gba"}, 2, "'x.ini': is not a"},
        {"FIFO as Tamo.ini", fifo("Tamo.ini"), run1, 0, "the defaults apply", written},
        {"unreadable --ini", with(save, 0), {"--ini", "game.sav", "game.gba"}, 2, "denied"},
        {"screenshot on the ROM", rom, {"--screenshot", "game.gba", "game.gba"}, 2, "the ROM",
         [](const TempDir& d) { same(d.file("game.gba"), kLoop); }},
        {"screenshot on the save", with(save, 0644), {"--screenshot", "./game.sav", "game.gba"},
         2, "save file", kept},
        {"stop names the instruction", [](const TempDir& d) { write_file(d.file("game.gba"), kStop); },
         run1, 1, "at the ARM instruction at 08000000 (opcode F0000000)"},
        {"endless debugger line", [&](const TempDir& d) {
             rom(d), write_file(d.file("input.txt"), std::vector<uint8_t>(1 << 20, 'x'));
         }, debug, 0, "input refused", written},
        {"debugger output closed", rom, debug, 0, "", written, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.setup(dir);
        fs::copy_file(TAMO_HEADLESS_PATH, dir.file("tamo-headless"));
        for (const auto& e : fs::recursive_directory_iterator(dir.path()))
            (void)lchown(e.path().c_str(), uid, gid);
        (void)chown(dir.path().c_str(), uid, gid);
        chmod(dir.file("ro").c_str(), 0555);
        auto [status, err] = run(dir, c, uid, gid);
        for (const auto& e : fs::recursive_directory_iterator(dir.path()))
            if (!e.is_symlink()) chmod(e.path().c_str(), 0755);
        EXPECT_EQ(status, c.status) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        if (c.check) c.check(dir);
    }
}

}  // namespace
