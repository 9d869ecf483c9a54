// A minimal owning interface pointer: Release on destruction, nothing more.
#pragma once
#include <unknwn.h>
#include <utility>

namespace tessary {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* adopted) : p_(adopted) {}
    ComPtr(const ComPtr& other) : p_(other.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept { std::swap(p_, other.p_); return *this; }
    ~ComPtr() { reset(); }

    void reset(T* adopted = nullptr) {
        if (p_) p_->Release();
        p_ = adopted;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() { reset(); return &p_; }
    T* release() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

}  // namespace tessary
