// GoogleTest's thread start notification on a Win32 event: the win32 thread model of the shipped
// toolchain has no std::mutex or std::condition_variable, which its own version needs.
#pragma once

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
  public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() {
        if (event_) {
            CloseHandle(event_);
        }
    }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() {
        SetEvent(event_);
    }
    void WaitForNotification() {
        WaitForSingleObject(event_, INFINITE);
    }

  private:
    HANDLE event_;
};

} // namespace internal
} // namespace testing

#define GTEST_HAS_NOTIFICATION_ 1
