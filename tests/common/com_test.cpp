// The COM boundary helpers: whatever a class's construction throws comes out of the factory as
// an HRESULT, and a late-bound callee's exception as the HRESULT its EXCEPINFO names.
#include <gtest/gtest.h>

#include <new>

#include "tq/com/class_factory.h"
#include "tq/com/late_bind.h"
#include "tq/com/strings.h"

namespace {

using tq::com::ComPtr;
using tq::com::QiEntry;

[[noreturn]] void Throw(int kind) {
    if (kind == 0) throw tq::Error(tq::hr::kInvalidArg, u"bad argument");
    if (kind == 1) throw std::bad_alloc();
    throw tq::com::ComFailure(E_ACCESSDENIED);
}

template <int kind>
HRESULT Create(REFIID, void**) {
    Throw(kind);
}

// Throws from its constructor for a `kind` of 0 to 2; raises `e` from Invoke.
struct Callee final : tq::com::ComObject<Callee, IDispatch> {
    explicit Callee(int kind, EXCEPINFO e = {}) : e_(e) {
        if (kind >= 0) Throw(kind);
    }
    static std::span<const QiEntry> Interfaces() {
        static const QiEntry table[] = {TQ_QI(Callee, IDispatch)};
        return table;
    }
    IFACEMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* e,
                          UINT*) override {
        *e = e_;
        e->bstrDescription = SysAllocString(e_.bstrDescription);
        return DISP_E_EXCEPTION;
    }
    EXCEPINFO e_;
};

TEST(ComBoundary, AThrowingConstructorOrCreateFunctionFailsTheCallInstead) {
    const tq::com::ClassEntry classes[] = {
        {&IID_IUnknown, &Create<0>}, {&IID_IDispatch, &Create<1>}, {&IID_IStream, &Create<2>}};
    const HRESULT expected[] = {E_INVALIDARG, E_OUTOFMEMORY, E_ACCESSDENIED};
    for (size_t i = 0; i < std::size(classes); ++i) {
        SCOPED_TRACE(i);
        void* out = &out;
        EXPECT_EQ(Callee::NewInstance(IID_IUnknown, &out, static_cast<int>(i)), expected[i]);
        EXPECT_EQ(out, nullptr);
        ComPtr<IClassFactory> factory;
        ASSERT_HRESULT_SUCCEEDED(tq::com::GetClassObject(classes, *classes[i].clsid,
                                                         IID_IClassFactory, factory.put_void()));
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &out), expected[i]);
    }
    EXPECT_EQ(tq::com::Module::LockCount(), 0) << "nothing half-built stays alive";
}

TEST(ComBoundary, ARaisedExceptionBecomesItsScodeOrItsClassicNumber) {
    const struct {
        SCODE scode;
        WORD wcode;
        const wchar_t *text, *expected_text;
        HRESULT expected;
    } cases[] = {
        {E_ACCESSDENIED, 0, L"negado", L"negado", E_ACCESSDENIED},
        {0, 76, L"Path not found", L"Path not found", static_cast<HRESULT>(0x800A004C)},
        {0, 0, nullptr, L"Falha em 'Write'", E_FAIL},
    };
    for (const auto& c : cases) {
        EXCEPINFO e{};
        e.scode = c.scode, e.wCode = c.wcode, e.bstrDescription = const_cast<BSTR>(c.text);
        EXPECT_EQ(tq::com::InvokeById(Callee::Make(-1, e).get(), 1, DISPATCH_METHOD, {}, nullptr,
                                      L"Write"),
                  c.expected);
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
        EXPECT_EQ(tq::com::ErrorText(info.get()), c.expected_text);
    }
}

}  // namespace
