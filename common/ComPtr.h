#pragma once
#include <objbase.h>
#include <oleauto.h>

#include <utility>

// Owns one COM reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  template <class U>
  HRESULT As(ComPtr<U>& out) const {
    return p_ ? p_->QueryInterface(__uuidof(U), out.PutVoid()) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

// Owns a BSTR.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text = nullptr) : s_(text ? SysAllocString(text) : nullptr) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR Get() const { return s_; }

 private:
  BSTR s_;
};
