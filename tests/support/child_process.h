// Test support for end-to-end checks: starting the program and helpers as child processes.
#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace vtrtest {

// This process's environment without the display, video driver and temporary folder, plus `extra`, whose
// entries replace the inherited ones of the same names.
inline std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
    const auto named = [](const std::string& entry, const std::string& other) {
        const std::size_t equals = other.find('=');
        return equals != std::string::npos && entry.compare(0, equals + 1, other, 0, equals + 1) == 0;
    };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("SDL_VIDEODRIVER=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0 ||
            entry.rfind("TMPDIR=", 0) == 0)
            continue;
        if (std::any_of(extra.begin(), extra.end(), [&](const std::string& x) { return named(entry, x); }))
            continue;
        env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    // As in the test binaries (leak_suppressions.cpp.in): the leak checker's walk of dynamically allocated
    // thread-local blocks crashes at exit once llvmpipe has drawn, so a program under the sanitizers leaves
    // them untracked unless the caller says otherwise.
    if (std::none_of(env.begin(), env.end(),
                     [](const std::string& e) { return e.rfind("ASAN_OPTIONS=", 0) == 0; }))
        env.push_back("ASAN_OPTIONS=intercept_tls_get_addr=0");
    return env;
}

// Starts a program by full path; its output goes to the given files, or nowhere. -1 when it cannot start.
// The child starts with the default handling of the interrupt and termination signals, whatever this
// process was started with, so that a test can send them.
inline pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   const char* out = nullptr, const char* err = nullptr) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out ? out : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err ? err : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Whether a running process handles the signal itself (the caught-signal mask of /proc/<pid>/status).
inline bool Catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// The exit status, or nothing when the process is still running after the timeout.
inline std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        if (std::chrono::steady_clock::now() > end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Whether a helper command runs to a zero exit within ten seconds.
inline bool Runs(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
    const pid_t pid = Spawn(args, ChildEnvironment(extraEnv));
    return pid > 0 && WaitFor(pid, std::chrono::seconds(10)) == 0;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace vtrtest
