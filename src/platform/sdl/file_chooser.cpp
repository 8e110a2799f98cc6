#include "platform/sdl/file_chooser.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

bool on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        if (access((folder + "/" + program).c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return false;
}

std::vector<std::string> chooser_command(const std::string& previous) {
#ifdef __APPLE__
    (void)previous;
    return {"osascript", "-e",
            "POSIX path of (choose file with prompt \"Open\" of type {\"gba\", \"agb\", \"bin\"})"};
#else
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    bool kde = desktop && std::string_view(desktop).find("KDE") != std::string_view::npos;
    std::vector<std::string> zenity = {"zenity", "--file-selection", "--title=Open",
                                       "--file-filter=Gameboy Advance Rom (*.bin;*.gba;*.agb) | "
                                       "*.bin *.gba *.agb *.BIN *.GBA *.AGB",
                                       "--file-filter=Tous (*.*) | *"};
    if (!previous.empty()) zenity.push_back("--filename=" + previous);
    std::vector<std::string> kdialog = {"kdialog",
                                        "--title",
                                        "Open",
                                        "--getopenfilename",
                                        previous.empty() ? "." : previous,
                                        "*.bin *.gba *.agb *.BIN *.GBA *.AGB|Gameboy Advance Rom "
                                        "(*.bin;*.gba;*.agb)\n*|Tous (*.*)"};
    if (kde && on_path("kdialog")) return kdialog;
    if (on_path("zenity")) return zenity;
    if (on_path("kdialog")) return kdialog;
    return {};
#endif
}

}  // namespace

ChooserResult choose_rom_path(const std::string& previous, const std::function<bool()>& idle) {
    std::vector<std::string> command = chooser_command(previous);
    if (command.empty())
        return {{},
                "No file chooser found: install zenity or kdialog, or name the ROM on the "
                "command line."};
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {{}, "Cannot start the file chooser."};
    fcntl(pipe_fds[0], F_SETFD, FD_CLOEXEC);
    fcntl(pipe_fds[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (spawned != 0) {
        close(pipe_fds[0]);
        return {{}, "Cannot start the file chooser " + command[0] + "."};
    }
    // The chooser prints one path; its pipe never fills, so reading waits until it has ended.
    fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK);
    std::string output;
    int status = 0;
    while (true) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) output.append(buffer, size_t(n));
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (!idle()) kill(pid, SIGTERM);
    }
    ssize_t n;
    char buffer[4096];
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) output.append(buffer, size_t(n));
    close(pipe_fds[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return {output, {}};
}
