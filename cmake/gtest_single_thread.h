// GoogleTest built single-threaded for the shipped tree: its Windows death-test code still wants
// the handle holder that only its threaded build declares.
#pragma once

#include <windows.h>

namespace testing {
namespace internal {

class AutoHandle {
  public:
    typedef void* Handle;
    AutoHandle() : handle_(INVALID_HANDLE_VALUE) {}
    explicit AutoHandle(Handle handle) : handle_(handle) {}
    ~AutoHandle() {
        Reset();
    }
    AutoHandle(const AutoHandle&) = delete;
    AutoHandle& operator=(const AutoHandle&) = delete;
    Handle Get() const {
        return handle_;
    }
    void Reset(Handle handle = INVALID_HANDLE_VALUE) {
        if (handle_ != handle && handle_ && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

  private:
    Handle handle_;
};

} // namespace internal
} // namespace testing
