// Owners for the attribute records an ITypeInfo or ITypeLib lends out: each
// gives its record back to the object that lent it, exactly once.
#pragma once
#include <windows.h>
#include <oleauto.h>

namespace tessary {

class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo* info) : info_(info) {
        if (FAILED(info_->GetTypeAttr(&attr_))) attr_ = nullptr;
    }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    ~TypeAttr() { if (attr_) info_->ReleaseTypeAttr(attr_); }
    explicit operator bool() const { return attr_ != nullptr; }
    const TYPEATTR* operator->() const { return attr_; }

private:
    ITypeInfo* info_;
    TYPEATTR* attr_ = nullptr;
};

class LibAttr {
public:
    explicit LibAttr(ITypeLib* library) : library_(library) {
        if (FAILED(library_->GetLibAttr(&attr_))) attr_ = nullptr;
    }
    LibAttr(const LibAttr&) = delete;
    LibAttr& operator=(const LibAttr&) = delete;
    ~LibAttr() { if (attr_) library_->ReleaseTLibAttr(attr_); }
    explicit operator bool() const { return attr_ != nullptr; }
    const TLIBATTR* operator->() const { return attr_; }

private:
    ITypeLib* library_;
    TLIBATTR* attr_ = nullptr;
};

// A FUNCDESC, given back to its ITypeInfo.
class FuncDesc {
public:
    explicit FuncDesc(ITypeInfo* info) : info_(info) {}  // none
    FuncDesc(ITypeInfo* info, UINT index) : info_(info) {
        if (FAILED(info_->GetFuncDesc(index, &desc_))) desc_ = nullptr;
    }
    FuncDesc(FuncDesc&& other) noexcept : info_(other.info_), desc_(other.desc_) { other.desc_ = nullptr; }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    FuncDesc& operator=(FuncDesc&&) = delete;
    ~FuncDesc() { if (desc_) info_->ReleaseFuncDesc(desc_); }
    explicit operator bool() const { return desc_ != nullptr; }
    const FUNCDESC* get() const { return desc_; }
    const FUNCDESC* operator->() const { return desc_; }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_ = nullptr;
};

}  // namespace tessary
