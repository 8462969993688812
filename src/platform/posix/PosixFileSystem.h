#pragma once

#include <memory>

#include "platform/FileSystem.h"

namespace lw {

// The call that locks a whole file, flock(2) by default. The tests put in
// one that behaves as a file system whose locks differ (NFS, FUSE).
using LockCall = int (*)(int fd, int operation);

// The POSIX file system over the given lock call.
std::unique_ptr<FileSystem> MakePosixFileSystem(LockCall lock);

}  // namespace lw
