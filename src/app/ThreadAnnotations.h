// Lock annotations for clang's -Wthread-safety: a member says which mutex guards it, a function what
// it must hold or takes. GCC has no such analysis, so there they expand to nothing.
#pragma once

#if defined(__clang__)
#define TARNWICK_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TARNWICK_THREAD_ANNOTATION(x)
#endif

// A type that is a lock (Mutex); `name` appears in the analysis' messages.
#define CAPABILITY(name) TARNWICK_THREAD_ANNOTATION(capability(name))
// A type that holds a lock for its lifetime (MutexLock).
#define SCOPED_CAPABILITY TARNWICK_THREAD_ANNOTATION(scoped_lockable)
// The member may be read or written only with the lock held.
#define GUARDED_BY(x) TARNWICK_THREAD_ANNOTATION(guarded_by(x))
// What the pointer member points to may be used only with the lock held.
#define PT_GUARDED_BY(x) TARNWICK_THREAD_ANNOTATION(pt_guarded_by(x))
// The caller must hold the lock(s).
#define REQUIRES(...) TARNWICK_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The caller must not hold the lock(s): the function takes them itself.
#define EXCLUDES(...) TARNWICK_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function takes the lock(s) and returns holding them.
#define ACQUIRE(...) TARNWICK_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// The function lets go of the lock(s).
#define RELEASE(...) TARNWICK_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// The analysis may take it that the lock is held after this call (checked at run time, if at all).
#define ASSERT_CAPABILITY(x) TARNWICK_THREAD_ANNOTATION(assert_capability(x))
// The function is not checked; say why where it is used.
#define NO_THREAD_SAFETY_ANALYSIS TARNWICK_THREAD_ANNOTATION(no_thread_safety_analysis)
