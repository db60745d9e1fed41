// The COM boundary helpers: whatever a class's construction throws comes out as an HRESULT, and a
// late-bound callee's exception as the HRESULT its EXCEPINFO names.
#include <gtest/gtest.h>

#include <new>

#include "tq/com/object.h"
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

TEST(ComBoundary, AThrowingConstructorFailsTheCallInstead) {
    const HRESULT expected[] = {E_INVALIDARG, E_OUTOFMEMORY, E_ACCESSDENIED};
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        void* out = &out;
        EXPECT_EQ(Callee::NewInstance(IID_IUnknown, &out, static_cast<int>(i)), expected[i]);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(tq::com::Module::LockCount(), 0) << "nothing half-built stays alive";
}

TEST(ComBoundary, ARaisedExceptionBecomesItsScodeOrItsClassicNumber) {
    const std::tuple<SCODE, WORD, const wchar_t*, HRESULT, const wchar_t*> cases[] = {
        {E_ACCESSDENIED, 0, L"negado", E_ACCESSDENIED, L"negado"},
        {0, 76, L"Path not found", HRESULT(0x800A004C), L"Path not found"},
        {0, 0, nullptr, E_FAIL, L"Falha em 'Write'"},  // a text of its own when it gives none
    };
    for (const auto& [scode, wcode, text, expected, expected_text] : cases) {
        EXCEPINFO e{};
        e.scode = scode, e.wCode = wcode, e.bstrDescription = const_cast<BSTR>(text);
        const HRESULT hr =
            tq::com::InvokeById(Callee::Make(-1, e).get(), 1, 0, {}, nullptr, L"Write");
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
        EXPECT_EQ(std::make_pair(hr, tq::com::ErrorText(info.get())),
                  std::make_pair(expected, std::wstring(expected_text)));
    }
}

}  // namespace
