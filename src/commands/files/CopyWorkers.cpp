#include "commands/files/CopyWorkers.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "commands/files/FileTransfer.h"

namespace files {
namespace {

// Threads besides the calling one. A few in flight keep the file system busy; more only queue
// behind each other there.
constexpr int kThreads = 3;

class Locked {
public:
    explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Locked() { ReleaseSRWLockExclusive(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    void wait(CONDITION_VARIABLE& condition) { SleepConditionVariableSRW(&condition, &lock_, INFINITE, 0); }
    // Runs `f` (which raises nothing) with the lock released: the copies themselves overlap.
    template <class F> void unlockedDo(F f) {
        ReleaseSRWLockExclusive(&lock_);
        f();
        AcquireSRWLockExclusive(&lock_);
    }

private:
    SRWLOCK& lock_;
};

} // namespace

CopyWorkers::CopyWorkers(int attempts) : attempts_(attempts) {}

CopyWorkers::~CopyWorkers() {
    {
        Locked locked(lock_);
        stopping_ = true;
    }
    WakeAllConditionVariable(&wake_);
    for (std::thread& thread : threads_) thread.join();
    // Said once the threads are done: a thread may be refused after the last batch began.
    if (refusal_) {
        try {
            LogManager::instance().warn(L"A copy thread took no copies: " + messageOf(refusal_));
        } catch (...) {
            // a warning that cannot be written is not worth ending the process for
        }
    }
}

void CopyWorkers::start() {
    // Taken on the calling thread, which runs as the account: a new thread runs as the process.
    identity_.emplace(identity::ThreadIdentity::ofCallingThread());
    for (int i = 0; i < kThreads; ++i) {
        try {
            threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // fewer threads: the calling thread copies what they do not
        }
    }
}

void CopyWorkers::work() {
    try {
        identity_->assume();
    } catch (...) {
        Locked locked(lock_);
        if (!refusal_) refusal_ = std::current_exception();
        return;
    }
    Locked locked(lock_);
    for (;;) {
        size_t index = 0;
        while (!stopping_ && !take(&index)) locked.wait(wake_);
        if (stopping_) return;
        locked.unlockedDo([&] { run(index); });
    }
}

bool CopyWorkers::take(size_t* index) {
    if (!batch_ || failure_ || next_ >= batch_->size()) return false;
    *index = next_++;
    return true;
}

void CopyWorkers::run(size_t index) noexcept {
    std::exception_ptr failed;
    try {
        const Copy& copy = (*batch_)[index];
        copyFile(copy.source, copy.destination, attempts_, replace_);
    } catch (...) {
        failed = std::current_exception();
    }
    Locked locked(lock_);
    if (failed && (!failure_ || index < failedAt_)) {
        failure_ = failed;
        failedAt_ = index;
    }
    if (++finished_ == next_) WakeAllConditionVariable(&idle_);
}

void CopyWorkers::copyAll(const std::vector<Copy>& copies, bool replace) {
    if (copies.size() > 1 && !identity_) start();
    std::exception_ptr failure;
    {
        Locked locked(lock_);
        batch_ = &copies;
        replace_ = replace;
        next_ = finished_ = failedAt_ = 0;
        failure_ = nullptr;
        WakeAllConditionVariable(&wake_);
        for (size_t index = 0; take(&index);) locked.unlockedDo([&] { run(index); });
        while (finished_ < next_) locked.wait(idle_);
        batch_ = nullptr;
        failure = failure_;
    }
    if (failure) std::rethrow_exception(failure);
}

} // namespace files
