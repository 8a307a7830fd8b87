// The allocator's setting for long runs: once a large block has been freed, later large blocks still
// get mappings of their own instead of coming from the heap, where their holes would stay resident.
#include <QTest>

#include "app/allocatortuning.h"
#include "app/velmoriaapp.h"

#include <cstdlib>

// A sanitizer's allocator takes glibc's place, and with it the setting's effect.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMORIA_SANITIZED_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define VELMORIA_SANITIZED_ALLOCATOR 1
#endif
#endif

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

class AllocatorTuningTest : public QObject
{
    Q_OBJECT

private:
    // Frees a 6 MiB block (mapped at first), then reports whether a 2 MiB block gets a mapping.
    static bool mappedAfterLargerFree()
    {
#ifdef __GLIBC__
        // Volatile, so that the compiler keeps each allocation and its free.
        void *volatile frame = std::malloc(6 * 1024 * 1024);
        std::free(frame);
        const size_t mappedBefore = mallinfo2().hblks;
        void *volatile next = std::malloc(2 * 1024 * 1024);
        const size_t mappedAfter = mallinfo2().hblks;
        std::free(next);
        return mappedAfter == mappedBefore + 1;
#else
        return true;
#endif
    }

    // Whether @p check holds when run in a child process; false when the child could not run it.
    static bool inChildProcess(bool (*check)())
    {
#ifdef __GLIBC__
        const pid_t child = fork();
        if (child < 0)
            return false;
        if (child == 0)
            _exit(check() ? 0 : 1);
        int status = 0;
        return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
#else
        return check();
#endif
    }

private Q_SLOTS:
    void init()
    {
#ifndef __GLIBC__
        QSKIP("Only glibc's allocator is tuned.");
#endif
#ifdef VELMORIA_SANITIZED_ALLOCATOR
        QSKIP("A sanitizer's allocator replaces glibc's, whose setting this checks.");
#endif
    }

    // Without the setting the check does see the heap used, so it can tell the two apart. In a child
    // process, since the setting cannot be undone.
    void untunedBlocksComeFromTheHeap()
    {
        QVERIFY(inChildProcess([] { return !mappedAfterLargerFree(); }));
    }

    // The application's own set-up tunes it, as it starts: in a child process that starts the application.
    void applicationTunesIt()
    {
        const auto startedApplicationTunes = [] {
            int argc = 1;
            char name[] = "velmoria";
            char *argv[] = { name, nullptr };
            VelmoriaApp app(argc, argv);
            return mappedAfterLargerFree();
        };
        QVERIFY(inChildProcess(startedApplicationTunes));
    }

    void largeBlocksKeepTheirMappings()
    {
        tuneAllocator();
        QVERIFY(mappedAfterLargerFree());
        QVERIFY(mappedAfterLargerFree());
    }
};

// No application object of its own: a child process starts the real one.
QTEST_APPLESS_MAIN(AllocatorTuningTest)
#include "tst_allocatortuning.moc"
