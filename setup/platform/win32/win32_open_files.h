#pragma once
// The program's reads and writes over handles opened elsewhere, a megabyte at a time.

#include <windows.h>

#include <memory>
#include <string>

#include "setup/platform/file_system.h"
#include "setup/platform/status.h"
#include "setup/platform/win32/unique_handle.h"

namespace setup::win32 {

// `path` names the file in failures.
std::unique_ptr<ReadableFile> ReadableOver(UniqueHandle file, std::string path);
// Close flushes the file to the disk.
std::unique_ptr<WritableFile> WritableOver(UniqueHandle file, std::string path);

// Copies the opened file `in` (whose path is `from`) into a file this call creates at `to`, with
// the source's last-written time, then flushes and closes it. Fails with kAlreadyExists, touching
// nothing, when anything is at `to`, a link included. Unlike CopyFileW it does not carry over a
// read-only mark (files from a CD have one), which would block the next replacement.
Status CopyInto(HANDLE in, const std::string& from, const std::string& to);

}  // namespace setup::win32
