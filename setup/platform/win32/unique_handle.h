#pragma once
// Ownership of Win32 handles: each is closed exactly once, when its owner goes out of scope.

#include <windows.h>

#include <utility>

namespace setup::win32 {

// `Traits` supplies the handle's type as `Handle`, `static bool Close(Handle)` and
// `static bool Valid(Handle)`.
template <typename Traits>
class BasicUniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  BasicUniqueHandle() = default;
  explicit BasicUniqueHandle(Handle handle) : handle_(handle) {}
  BasicUniqueHandle(BasicUniqueHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  BasicUniqueHandle& operator=(BasicUniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  BasicUniqueHandle(const BasicUniqueHandle&) = delete;
  BasicUniqueHandle& operator=(const BasicUniqueHandle&) = delete;
  ~BasicUniqueHandle() { Reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return Traits::Valid(handle_); }

  // Closes now and reports whether the system closed it cleanly (GetLastError says why not):
  // buffered writes can first fail here, so writers must look.
  bool Close() {
    if (!valid()) return true;
    return Traits::Close(std::exchange(handle_, nullptr));
  }

 private:
  void Reset() {
    if (valid()) Traits::Close(handle_);
    handle_ = nullptr;
  }

  Handle handle_ = nullptr;
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  // CreateFileW fails with INVALID_HANDLE_VALUE, most other calls with null.
  static bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE handle) { return ::CloseHandle(handle) != FALSE; }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE handle) { return ::FindClose(handle) != FALSE; }
};

struct FontTraits {
  using Handle = HFONT;
  static bool Valid(HFONT font) { return font != nullptr; }
  static bool Close(HFONT font) { return ::DeleteObject(font) != FALSE; }
};

// Memory the system allocated with LocalAlloc for the caller, as FormatMessageW's text.
struct LocalTextTraits {
  using Handle = wchar_t*;
  static bool Valid(wchar_t* text) { return text != nullptr; }
  static bool Close(wchar_t* text) { return ::LocalFree(text) == nullptr; }
};

// Files, processes, events: anything CloseHandle closes.
using UniqueHandle = BasicUniqueHandle<KernelHandleTraits>;
// Searches started by FindFirstFileExW.
using UniqueFindHandle = BasicUniqueHandle<FindHandleTraits>;
using UniqueFont = BasicUniqueHandle<FontTraits>;
using UniqueLocalText = BasicUniqueHandle<LocalTextTraits>;

}  // namespace setup::win32
