#pragma once
// GStreamer and Qt order their threads with locks and atomics of their own, which
// ThreadSanitizer cannot see because those libraries are not built with it. Where our code relies
// on such an ordering (a pipeline's stop returns only once its streaming threads have left our
// callbacks), the releasing side calls HandOverRelease and the side that relies on it
// HandOverAcquire with the same key, so the checker knows what the library guarantees. Without
// ThreadSanitizer both do nothing.
#include <QMetaObject>
#include <QObject>
#include <utility>
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace tarvo {

inline void HandOverRelease([[maybe_unused]] const void* key)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(key));
#endif
}

inline void HandOverAcquire([[maybe_unused]] const void* key)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(key));
#endif
}

// A library thread's call into our code: it sees what was handed over before the library started
// calling, and hands over what it did to whoever waits for the library to stop calling.
class HandOverScope {
public:
    explicit HandOverScope(const void* key) : key_(key) { HandOverAcquire(key_); }
    HandOverScope(const HandOverScope&) = delete;
    HandOverScope& operator=(const HandOverScope&) = delete;
    ~HandOverScope() { HandOverRelease(key_); }

private:
    const void* key_;
};

#if defined(__SANITIZE_THREAD__)
// The call as Qt stores it. Each copy hands over from its own address once it is built, so the
// copy inside Qt's call object hands over everything the sender wrote into it and before it; the
// receiving side takes that over before it touches the call, whether the call runs or Qt drops it
// unrun (its context gone, its thread's queue cleared at exit) and only destroys it. The address
// is the key because reading anything stored in the call before taking over would itself race.
template <class Fn> class HandedOverCall {
public:
    explicit HandedOverCall(Fn fn) : fn_(std::move(fn)) { HandOverRelease(this); }
    HandedOverCall(HandedOverCall&& other) : fn_(std::move(other.fn_)) { HandOverRelease(this); }
    HandedOverCall(const HandedOverCall&) = delete;
    HandedOverCall& operator=(const HandedOverCall&) = delete;
    HandedOverCall& operator=(HandedOverCall&&) = delete;
    ~HandedOverCall() { HandOverAcquire(this); }
    void operator()()
    {
        HandOverAcquire(this);
        fn_();
    }

private:
    Fn fn_;
};
#endif

// Runs fn on the thread of context from its event loop, as a queued QMetaObject::invokeMethod
// does. Qt's event queue orders the call after everything its sender did before; with
// ThreadSanitizer the call is handed over explicitly so that the checker knows it too.
template <class Fn> void PostQueued(QObject* context, Fn fn)
{
#if defined(__SANITIZE_THREAD__)
    QMetaObject::invokeMethod(context, HandedOverCall<Fn>(std::move(fn)), Qt::QueuedConnection);
#else
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
#endif
}

} // namespace tarvo
