#pragma once
// Internal to the transform steps: working storage kept per thread from one conversion to the next. A fresh
// buffer of millions of values costs more in first-touch page faults than the arithmetic done in it, so the
// buffers of the largest conversion a thread has run stay with it (as the FFT's own working storage does).

#include <cstddef>
#include <span>
#include <vector>

namespace velmar::analysis::detail {

// `count` values of slot `Slot` for the lifetime of the lease, contents left from the last use. A progress
// callback may start another conversion on the same thread while a lease is held: that one gets a buffer of
// its own instead of the one in use.
template <class T, int Slot>
class ScratchLease {
  public:
    explicit ScratchLease(std::size_t count) {
        Shared& shared = Instance();
        if (!shared.busy) {
            shared.busy = true;
            owner_ = true;
            if (shared.storage.size() < count) {
                shared.storage = std::vector<T>();  // the old block goes before the new one is touched
                shared.storage.resize(count);
            }
            data_ = std::span<T>(shared.storage.data(), count);
        } else {
            own_.resize(count);
            data_ = std::span<T>(own_);
        }
    }
    ~ScratchLease() {
        if (owner_) {
            Instance().busy = false;
        }
    }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;

    std::span<T> Span() const noexcept { return data_; }

  private:
    struct Shared {
        std::vector<T> storage;
        bool busy = false;
    };
    static Shared& Instance() {
        thread_local Shared shared;
        return shared;
    }

    std::vector<T> own_;
    std::span<T> data_;
    bool owner_ = false;
};

}  // namespace velmar::analysis::detail
