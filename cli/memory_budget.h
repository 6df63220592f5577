#pragma once

#include <QtGlobal>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include <unistd.h>

namespace tavrel::cli {

// How much memory the conversions under way may hold together. A job that
// would go past it waits until others have finished, and one that could not
// fit even alone fails, so that --jobs N never multiplies the peak of large
// pictures.
class MemoryBudget {
  public:
    explicit MemoryBudget(qint64 total) : total_(total) {}

    // Half the machine's memory, at most 4 GiB.
    static qint64 ForThisMachine() {
        constexpr qint64 kMax = qint64(4) << 30;
        const long pages = ::sysconf(_SC_PHYS_PAGES);
        const long pageSize = ::sysconf(_SC_PAGE_SIZE);
        return pages > 0 && pageSize > 0 ? std::min(qint64(pages) * pageSize / 2, kMax) : kMax;
    }

    // False at once when bytes exceed the whole budget.
    bool Take(qint64 bytes) {
        if (bytes > total_) {
            return false;
        }
        std::unique_lock lock(mutex_);
        // Alone, a job always goes ahead: no estimate can make it wait for
        // ever.
        freed_.wait(lock, [&] { return used_ == 0 || used_ + bytes <= total_; });
        used_ += bytes;
        return true;
    }

    void Give(qint64 bytes) {
        {
            const std::lock_guard lock(mutex_);
            used_ -= bytes;
        }
        freed_.notify_all();
    }

  private:
    const qint64 total_;
    qint64 used_ = 0;
    std::mutex mutex_;
    std::condition_variable freed_;
};

}  // namespace tavrel::cli
