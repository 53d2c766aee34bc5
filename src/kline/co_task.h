#pragma once
// A lazily started coroutine that its awaiter resumes and that resumes its
// awaiter when done. The protocol code reads as a sequence of waits for
// bytes and times; the compiler turns it into the state machine that
// bytes-and-timers-in, actions-out needs. No threads, no clock, no I/O.
#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace kline {

template <typename T = void> class Task;

namespace detail {
struct PromiseBase {
    std::coroutine_handle<> continuation = std::noop_coroutine();
    std::suspend_always initial_suspend() noexcept { return {}; }
    struct Final {
        bool await_ready() noexcept { return false; }
        template <typename P>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
            return h.promise().continuation;
        }
        void await_resume() noexcept {}
    };
    Final final_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { std::terminate(); }
};

template <typename T> struct Promise : PromiseBase {
    std::optional<T> value;
    Task<T> get_return_object();
    void return_value(T v) { value = std::move(v); }
};

template <> struct Promise<void> : PromiseBase {
    Task<void> get_return_object();
    void return_void() {}
};
} // namespace detail

template <typename T> class [[nodiscard]] Task {
public:
    using promise_type = detail::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    explicit Task(Handle h) : m_h(h) {}
    Task(Task&& o) noexcept : m_h(std::exchange(o.m_h, {})) {}
    Task& operator=(Task&& o) noexcept {
        if (this != &o) {
            reset();
            m_h = std::exchange(o.m_h, {});
        }
        return *this;
    }
    ~Task() { reset(); }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiter) noexcept {
        m_h.promise().continuation = awaiter;
        return m_h;
    }
    T await_resume() {
        if constexpr (!std::is_void_v<T>)
            return std::move(*m_h.promise().value);
    }
    // A root task: runs until its first wait.
    void start() { m_h.resume(); }
    bool done() const { return !m_h || m_h.done(); }
    explicit operator bool() const { return bool(m_h); }
    void reset() {
        if (m_h)
            m_h.destroy();
        m_h = {};
    }

private:
    Handle m_h;
};

namespace detail {
template <typename T> Task<T> Promise<T>::get_return_object() {
    return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}
inline Task<void> Promise<void>::get_return_object() {
    return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}
} // namespace detail

} // namespace kline
