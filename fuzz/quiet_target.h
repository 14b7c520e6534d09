// The program reports every damaged input in a line on stderr, as it should; a fuzzing run would print one
// per input. libFuzzer closes the target's stderr when asked (-close_fd_mask=2) and keeps its own messages
// and the sanitizers' reports on a copy of it, so the flag is added to the run's arguments before they are
// read.
#pragma once

#include <string>
#include <vector>

inline void CloseTargetStderr(int* argc, char*** argv) {
    static std::vector<char*> args;
    static std::string flag = "-close_fd_mask=2";
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + (args.empty() ? 0 : 1), flag.data());
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
}
