// The temporary folders this process owns: beside each lies its mark, a file this process keeps locked, so
// that the kernel gives the lock back when the process ends however it ends, and a later run can tell a
// folder left behind from one still in use. The mark lies beside the folder, not in it, so that the folder
// lists only what its users put there.
#pragma once

#include <string>

#include <sys/types.h>

namespace win32::detail {

// The mark of folder "<path>" is the file "<path>.owner".
inline constexpr const char* OwnerMarkSuffix = ".owner";

// Marks a folder just made as this process's own; false when the mark cannot be made.
bool MarkFolderOwned(const std::string& path);
// After a folder was removed: drops its mark when it was one of this process's (its device and inode as they
// were before the removal).
void DropOwnerMark(dev_t device, ino_t inode);
// Removes every folder this process still owns, with everything in it. Safe inside a signal handler.
void RemoveOwnedFolders();
// Ends the process at once after removing its owned folders: for ends that cannot run the program's clean-up
// (a display connection that is lost, a clean-up that does not finish in time).
[[noreturn]] void EndProcessAfterRemovingOwnedFolders(int status);

} // namespace win32::detail
