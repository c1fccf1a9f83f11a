// An installed implementation of a seam (the clock, the host, the camera
// transport, the serial port layer): the program installs the real one at
// start, tests install fakes, and until then, or after nullptr, the seam's
// default answers. The caller never sees a null pointer.
#pragma once

template <class T> class Installed {
public:
    using value_type = T;

    // `fallback` is not owned and must outlive the seam. Constant
    // initialisation: a seam is usable before main() and from any static.
    constexpr explicit Installed(T& fallback) noexcept
        : fallback_(&fallback)
        , current_(&fallback)
    {
    }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

    T& current() const noexcept { return *current_; }
    bool is_default() const noexcept { return current_ == fallback_; }
    // Installs `replacement` (not owned); nullptr restores the default.
    // Returns what was installed before, never nullptr.
    T* install(T* replacement) noexcept
    {
        T* previous = current_;
        current_ = replacement != nullptr ? replacement : fallback_;
        return previous;
    }

private:
    T* fallback_;
    T* current_;
};

// Installs a replacement for as long as it lives and puts back whatever was
// installed before, also when a test's assertion returns early or throws.
template <class T> class ScopedInstall {
public:
    // nullptr installs the seam's default for the scope. The seam alone
    // names T, so a fake of a derived class installs without a cast.
    ScopedInstall(Installed<T>& seam, typename Installed<T>::value_type* replacement) noexcept
        : seam_(seam)
        , previous_(seam.install(replacement))
    {
    }
    ~ScopedInstall() { seam_.install(previous_); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

private:
    Installed<T>& seam_;
    T* previous_;
};
