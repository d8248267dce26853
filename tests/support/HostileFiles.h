#pragma once
// Things a hostile or broken user folder can hold where a file is expected: a FIFO (a
// naive read waits forever for a writer) and a link to /dev/zero (a naive read never
// ends). FinishesQuickly runs a read on its own thread and, should it block, unblocks a
// waiting FIFO so the test fails instead of hanging.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zt_test {

inline std::string PlantFifo(const std::string& path) {
  ::unlink(path.c_str());
  EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
  return path;
}

inline std::string PlantDevZeroLink(const std::string& path) {
  ::unlink(path.c_str());
  EXPECT_EQ(::symlink("/dev/zero", path.c_str()), 0) << path;
  return path;
}

// True when the call returns within the limit. A FIFO at fifoPath (if given) is opened
// for writing and closed when the call is late, which ends a read blocked on it. A call
// that blocks on a FIFO or reads /dev/zero to its end never returns by itself, so the
// limit is generous: a loaded machine can make a quick refusal take seconds.
inline bool FinishesQuickly(const std::function<void()>& call, const std::string& fifoPath = std::string(),
                            std::chrono::milliseconds limit = std::chrono::milliseconds(20000)) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread worker([&] {
    call();
    std::lock_guard<std::mutex> lock(m);
    done = true;
    cv.notify_all();
  });
  bool quick;
  {
    std::unique_lock<std::mutex> lock(m);
    quick = cv.wait_for(lock, limit, [&] { return done; });
  }
  while (!quick && !fifoPath.empty()) {
    {
      std::lock_guard<std::mutex> lock(m);
      if (done) break;
    }
    const int fd = ::open(fifoPath.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  worker.join();
  return quick;
}

// A file far larger than any cap, made without writing its bytes (a sparse file).
inline std::string PlantHugeFile(const std::string& path, off_t bytes = off_t(3) << 30) {
  ::unlink(path.c_str());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  EXPECT_GE(fd, 0) << path;
  if (fd >= 0) {
    EXPECT_EQ(::ftruncate(fd, bytes), 0) << path;
    ::close(fd);
  }
  return path;
}

// CPU seconds this thread has used: the work a call did, whatever the load of the machine.
inline double ThreadCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// What a call made on this thread (as the game makes it: GUI objects stay on the thread
// that built them) cost, and whether it waited on the FIFO at fifoPath. From `grace` on, a
// watchdog keeps opening the FIFO for writing without waiting: that succeeds only while
// someone holds it open for reading, i.e. a read blocked on it, which the open and close
// then end. So a regression fails the test instead of hanging it. The grace is long: a
// worker thread may hold the FIFO open for a moment to look at it and refuse it, and a
// frame on a loaded machine can take seconds; a call blocked on the FIFO waits forever.
struct CallCost {
  double wallSeconds = 0.0;
  double cpuSeconds = 0.0;  // this thread's
  int fifoReadersFound = 0;
};
inline CallCost CostWithFifoWatchdog(const std::function<void()>& call, const std::string& fifoPath,
                                     std::chrono::milliseconds grace = std::chrono::milliseconds(20000)) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  CallCost cost;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (cv.wait_for(lock, grace, [&] { return done; })) return;
    while (!done) {
      lock.unlock();
      const int fd = ::open(fifoPath.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      lock.lock();
      struct stat st {};
      if (fd >= 0 && ::stat(fifoPath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) ++cost.fifoReadersFound;
      cv.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
    }
  });
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuSeconds();
  call();
  const double cpu = ThreadCpuSeconds() - cpuStart;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
  watchdog.join();
  cost.wallSeconds = wall;
  cost.cpuSeconds = cpu;
  return cost;
}

// Ends the test program with a message should the scope have used more than `limit` of
// CPU time: a regression that makes a test take minutes of work (a search per line of a
// long list) then fails the run instead of holding it up. CPU time, not the clock: a
// machine busy with other tests slows a test down without making it do more. A scope
// still running after four times the limit on the clock (a hang) ends the same way.
inline double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
class FailAfter {
 public:
  FailAfter(std::chrono::seconds limit, std::string what)
      : what_(std::move(what)), thread_([this, limit] {
          const double cpuStart = ProcessCpuSeconds();
          const auto wallEnd = std::chrono::steady_clock::now() + 4 * limit;
          std::unique_lock<std::mutex> lock(m_);
          while (!cv_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
            const double cpu = ProcessCpuSeconds() - cpuStart;
            const bool hung = std::chrono::steady_clock::now() > wallEnd;
            if (cpu <= static_cast<double>(limit.count()) && !hung) continue;
            std::fprintf(stderr,
                         "%s: still running after %.0f s of CPU time%s; the test program stops here\n",
                         what_.c_str(), cpu, hung ? " and four times as long on the clock" : "");
            std::fflush(stderr);
            std::_Exit(3);
          }
        }) {}
  ~FailAfter() {
    {
      std::lock_guard<std::mutex> lock(m_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  FailAfter(const FailAfter&) = delete;
  FailAfter& operator=(const FailAfter&) = delete;

 private:
  std::string what_;
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace zt_test
