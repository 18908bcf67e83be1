#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "GenH/hl_types.h"
#include "UTL/UTL_thread.h"
#include "support/test_util.h"

namespace {

using brx_test::read_file;
using brx_test::run_in_child;
using brx_test::TempDir;
using brx_test::write_file;
using Clock = std::chrono::steady_clock;

int waiting_of(UTL_message_queue* q)
{
    pthread_mutex_lock(&q->lock);
    const int n = q->waiting;
    pthread_mutex_unlock(&q->lock);
    return n;
}

void wait_for_waiting(UTL_message_queue* q, int n)
{
    while (waiting_of(q) != n) std::this_thread::yield();
}

void* tag(std::intptr_t n) { return reinterpret_cast<void*>(n); }

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(MessageQueue, FifoAndPoll)
{
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->waiting, 0);
    EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
    EXPECT_EQ(q->waiting, 0);

    for (std::intptr_t i = 1; i <= 3; ++i) UTL_message_queue_write(q, tag(i));
    EXPECT_EQ(UTL_message_queue_read(q, 0), tag(1));
    EXPECT_EQ(UTL_message_queue_read(q, -1), tag(2));
    EXPECT_EQ(UTL_message_queue_read(q, 5000), tag(3));
    EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
    EXPECT_EQ(q->waiting, 0);
    EXPECT_TRUE(q->messages.empty());
    UTL_message_queue_destroy(q);
}

TEST(MessageQueue, TimedReads)
{
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);

    auto start = Clock::now();
    EXPECT_EQ(UTL_message_queue_read(q, 150), nullptr);
    const double waited = seconds_since(start);
    EXPECT_GE(waited, 0.149);
    EXPECT_LT(waited, 5.0);
    EXPECT_EQ(q->waiting, 0);

    // A pending message comes back at once, however long the time-out.
    UTL_message_queue_write(q, tag(7));
    start = Clock::now();
    EXPECT_EQ(UTL_message_queue_read(q, 60000), tag(7));
    EXPECT_LT(seconds_since(start), 5.0);
    UTL_message_queue_destroy(q);
}

TEST(MessageQueue, DeadlineCarriesIntoSeconds)
{
    struct Case {
        int64_t sec, usec;
        int32_t ms;
        time_t want_sec;
        long want_nsec;
    };
    const Case cases[] = {
        {100, 600000, 1500, 102, 100000000},
        {5, 0, 999, 5, 999000000},
        {5, 999999, 1, 6, 999000},
        {0, 0, 1000, 1, 0},
        {7, 1, 2147483647, 7 + 2147483, 647001000},
    };
    for (const Case& c : cases) {
        const timespec t = UTL_queue_deadline(c.sec, c.usec, c.ms);
        EXPECT_EQ(t.tv_sec, c.want_sec) << c.ms;
        EXPECT_EQ(t.tv_nsec, c.want_nsec) << c.ms;
    }
}

TEST(MessageQueue, BlockedReaderGetsTheWrite)
{
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    void* got = nullptr;
    std::thread reader([&] { got = UTL_message_queue_read(q, -1); });
    wait_for_waiting(q, 1);
    UTL_message_queue_write(q, tag(42));
    reader.join();
    EXPECT_EQ(got, tag(42));
    EXPECT_EQ(q->waiting, 0);
    UTL_message_queue_destroy(q);
}

TEST(MessageQueue, TwoReadersOneWriteDeliversOnce)
{
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    std::atomic<int> returned{0};
    void* got[2] = {nullptr, nullptr};
    std::vector<std::thread> readers;
    for (int i = 0; i < 2; ++i)
        readers.emplace_back([&, i] {
            got[i] = UTL_message_queue_read(q, -1);
            ++returned;
        });
    wait_for_waiting(q, 2);

    UTL_message_queue_write(q, tag(1));
    while (returned.load() == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(returned.load(), 1);  // the other reader is still waiting
    EXPECT_EQ(waiting_of(q), 1);

    UTL_message_queue_write(q, tag(2));
    for (auto& r : readers) r.join();
    EXPECT_EQ(std::set<void*>({got[0], got[1]}), std::set<void*>({tag(1), tag(2)}));
    UTL_message_queue_destroy(q);
}

TEST(MessageQueue, ManyWritersAndReadersTakeEachMessageOnceInOrder)
{
    constexpr int kWriters = 4, kReaders = 4, kEach = 5000;
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    // A message is writer * kEach + sequence + 1 (never null); -1 stops a reader.
    std::vector<std::vector<std::intptr_t>> taken(kReaders);
    std::vector<std::thread> threads;
    for (int r = 0; r < kReaders; ++r)
        threads.emplace_back([&, r] {
            for (;;) {
                auto m = reinterpret_cast<std::intptr_t>(UTL_message_queue_read(q, r % 2 ? -1 : 1000));
                if (m == -1) return;
                if (m != 0) taken[r].push_back(m);
            }
        });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i) UTL_message_queue_write(q, tag(w * kEach + i + 1));
        });
    for (auto& w : writers) w.join();
    for (int r = 0; r < kReaders; ++r) UTL_message_queue_write(q, tag(-1));
    for (auto& t : threads) t.join();

    std::vector<int> seen(kWriters * kEach + 1, 0);
    for (const auto& list : taken) {
        std::vector<std::intptr_t> last(kWriters, 0);
        for (std::intptr_t m : list) {
            ++seen[static_cast<std::size_t>(m)];
            const auto w = static_cast<std::size_t>((m - 1) / kEach);
            EXPECT_GT(m, last[w]);  // one reader sees one writer's messages in order
            last[w] = m;
        }
    }
    for (int i = 1; i <= kWriters * kEach; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], 1) << i;
    UTL_message_queue_destroy(q);
}

TEST(MessageQueue, DestroyDropsPendingMessagesUntouched)
{
    int a = 11, b = 22;
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    UTL_message_queue_write(q, &a);
    UTL_message_queue_write(q, &b);
    UTL_message_queue_destroy(q);
    EXPECT_EQ(a, 11);
    EXPECT_EQ(b, 22);
}

TEST(CriticalSection, RecursiveHoldAndRelease)
{
    pthread_mutex_t section;
    UTL_critical_section_create(&section);
    auto other_can_take = [&] {
        int rc = -1;
        std::thread([&] {
            rc = pthread_mutex_trylock(&section);
            if (rc == 0) pthread_mutex_unlock(&section);
        }).join();
        return rc == 0;
    };
    UTL_critical_section_lock(&section);
    UTL_critical_section_lock(&section);  // the holder takes it again without blocking
    EXPECT_FALSE(other_can_take());
    UTL_critical_section_unlock(&section);
    EXPECT_FALSE(other_can_take());
    UTL_critical_section_unlock(&section);
    EXPECT_TRUE(other_can_take());
    UTL_critical_section_destroy(&section);
}

TEST(CriticalSection, MisuseEndsWithTheOsErrorAlert)
{
    struct Case {
        const char* what;
        void (*misuse)();
        const char* line1;
        const char* line2;
        int source_line;
    };
    const Case cases[] = {
        {"destroy while locked",
         [] {
             static pthread_mutex_t s;
             UTL_critical_section_create(&s);
             UTL_critical_section_lock(&s);
             UTL_critical_section_destroy(&s);
         },
         "\"::pthread_mutex_destroy\" OS error", "err=16.000000", 198},
        {"unlock by a thread that does not hold it",
         [] {
             static pthread_mutex_t s;
             UTL_critical_section_create(&s);
             std::thread([] { UTL_critical_section_lock(&s); }).join();
             UTL_critical_section_unlock(&s);
         },
         "\"pthread_mutex_unlock\" OS error", "err=1.000000", 224},
    };
    for (const Case& c : cases) {
        TempDir dir;
        auto r = run_in_child(
            [&] {
                xer.open(dir / "Log.txt");
                c.misuse();
                puts("survived");
            },
            dir.path());
        EXPECT_EQ(r.signal, SIGABRT) << c.what;
        EXPECT_EQ(r.out, std::string("Skarvel Error:\n") + c.line1 + "\n\n" + c.line2 +
                             "\n\n\n\n\n\nSorry.\n")
            << c.what;
        const std::string log = read_file(dir / "Log.txt");
        const std::string tail = std::string("\n") + c.line1 + "\n" + c.line2 +
                                 "\n\n\n(UTL/UTL_thread line " +
                                 std::to_string(c.source_line) + ")\n";
        ASSERT_GE(log.size(), tail.size()) << c.what;
        EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << c.what;
    }
}

void* return_arg(void* arg) { return arg; }
void* exit_with_arg(void* arg) { UTL_thread_exit(arg); }

TEST(Thread, CreateJoinAndExitValue)
{
    for (auto func : {return_arg, exit_with_arg}) {
        unsigned long thread = 0, id = 0, join = 0;
        UTL_thread_create(func, tag(99), &thread, &id, &join);
        EXPECT_NE(thread, 0u);
        EXPECT_EQ(id, thread);
        EXPECT_EQ(join, thread);
        EXPECT_EQ(UTL_thread_join(&thread, &join), tag(99));
    }
}

TEST(Thread, FailedJoinIsLoggedNotFatal)
{
    TempDir dir;
    xer.open(dir / "Log.txt");
    unsigned long self = UTL_get_current_thread();
    EXPECT_EQ(self, static_cast<unsigned long>(pthread_self()));
    EXPECT_EQ(UTL_thread_join(&self, &self), nullptr);  // joining oneself fails
    xer.close();
    EXPECT_EQ(read_file(dir / "Log.txt"),
              "Warning: wait on thread cleanup failed with error " + std::to_string(EDEADLK) +
                  "\n");
}

TEST(Thread, Sleep)
{
    auto start = Clock::now();
    UTL_sleep(0);
    UTL_sleep(-20);
    EXPECT_LT(seconds_since(start), 5.0);
    start = Clock::now();
    UTL_sleep(30);
    EXPECT_GE(seconds_since(start), 0.029);
}

TEST(Thread, CountProcessors)
{
    const std::string none_text =
        "LINUX: I searched /proc/cpuinfo for processors, and did not find any. I\n"
        "have no idea how your computer is working right now. Please e-mail this\n"
        "message to support@corvath.example. In the mean time, I'll assume for right now\n"
        "that you have one CPU.\n";
    const std::string four = "processor\t: 0\nmodel name\t: A\nprocessor\t: 1\nmodel name\t: A\n"
                             "model name\t: A\nmodel name\t: A\nmodel: x\n";
    struct Case {
        const char* what;
        const char* file;  // null: no such file
        std::string content;
        int want;
        std::string err;
        std::string log;
    };
    const Case cases[] = {
        {"four processors", "cpuinfo", four, 4, "", ""},
        {"a long line comes in pieces", "cpuinfo",
         std::string(511, 'x') + "model name\t: B\nmodel names\n", 2, "", ""},
        {"no model lines", "cpuinfo", "processor\t: 0\n Model name: A\n", 1, none_text,
         "Linux CPU detect failed -- no processors in /proc/cpuinfo\n"},
        {"missing file", nullptr, "", 1,
         "LINUX: I could not open /proc/cpuinfo to determine how many CPUs you have!\n"
         "Please make sure that I have read access to that file if you want SMP\n"
         "support. I'll assume for right now that you have one CPU. The error that\n"
         "I got was:\n\tNo such file or directory\n",
         "Linux CPU detect failed -- /proc/cpuinfo couldn't be opened\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.file) write_file(dir / c.file, c.content);
        auto r = run_in_child([&] {
            dup2(STDOUT_FILENO, STDERR_FILENO);
            xer.open(dir / "Log.txt");
            UTL_cpuinfo_path = dir / "cpuinfo";
            const std::size_t open_before = brx_test::list_tree("/proc/self/fd/").size();
            const int n = UTL_count_processors();
            const std::size_t open_after = brx_test::list_tree("/proc/self/fd/").size();
            xer.close();
            fflush(stderr);
            printf("n=%d leaked=%d", n, static_cast<int>(open_after - open_before));
        });
        EXPECT_EQ(r.out, c.err + "n=" + std::to_string(c.want) + " leaked=0") << c.what;
        EXPECT_EQ(read_file(dir / "Log.txt"), c.log) << c.what;
    }
}

}  // namespace
