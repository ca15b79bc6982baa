// pace.cpp -- a display's refresh for the game under test, preloaded
// (LD_PRELOAD) by the end-to-end scripts: each glfwSwapBuffers returns on the
// next tick of E2E_PACE_HZ, as a swap waits for a monitor's vertical blank.
// Xvfb and llvmpipe have no vertical blank, so the game would otherwise draw
// flat out and starve the cases running beside it. The real clock is read and
// slept on through the kernel itself, past libfaketime, so a case's sped-up or
// slowed game clock never changes the refresh.
#include <GLFW/glfw3.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

static long long NowNs()
{
    timespec t;
    syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000ll + t.tv_nsec;
}

static void SleepUntilNs(long long when)
{
    timespec t = {(time_t)(when / 1000000000ll), (long)(when % 1000000000ll)};
    while (syscall(SYS_clock_nanosleep, CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == -1 &&
           errno == EINTR) {
    }
}

extern "C" void glfwSwapBuffers(GLFWwindow* window)
{
    using Swap = void (*)(GLFWwindow*);
    static Swap realSwap = (Swap)dlsym(RTLD_NEXT, "glfwSwapBuffers");
    static long long period = [] {
        const char* hz = std::getenv("E2E_PACE_HZ");
        double rate = hz ? std::atof(hz) : 0.0;
        return rate > 0.0 ? (long long)(1e9 / rate) : 0ll;
    }();
    static long long nextTick = 0;
    if (period > 0) {
        long long now = NowNs();
        if (now < nextTick)
            SleepUntilNs(nextTick);
        // A frame later than its tick swaps at once; the next tick counts from then.
        nextTick = (now < nextTick ? nextTick : now) + period;
    }
    realSwap(window);
}
