// The COM boundary helpers: whatever a class's construction throws comes out of the factory as
// an HRESULT, and a late-bound callee's exception as the HRESULT its EXCEPINFO names.
#include <gtest/gtest.h>

#include <new>

#include "tq/com/class_factory.h"
#include "tq/com/late_bind.h"
#include "tq/com/strings.h"

namespace {

using tq::com::ComObject;
using tq::com::ComPtr;
using tq::com::QiEntry;

// What a constructor throws, by kind, and the HRESULT the caller must see for it.
struct Thrown {
    int kind;
    HRESULT expected;
};
const Thrown kThrown[] = {{0, E_INVALIDARG}, {1, E_OUTOFMEMORY}, {2, E_ACCESSDENIED}};

[[noreturn]] void Throw(int kind) {
    if (kind == 0) throw tq::Error(tq::hr::kInvalidArg, u"bad argument");
    if (kind == 1) throw std::bad_alloc();
    throw tq::com::ComFailure(E_ACCESSDENIED);
}

class Refuses final : public ComObject<Refuses, IUnknown> {
  public:
    explicit Refuses(int kind) { Throw(kind); }
    static std::span<const QiEntry> Interfaces() {
        static const QiEntry table[] = {TQ_QI(Refuses, IUnknown)};
        return table;
    }
};

template <int kind>
HRESULT CreateThrowing(REFIID, void**) {
    Throw(kind);
}

TEST(ComBoundary, AThrowingConstructorOrCreateFunctionFailsTheCallInstead) {
    const tq::com::ClassEntry classes[] = {{&IID_IUnknown, &CreateThrowing<0>},
                                           {&IID_IDispatch, &CreateThrowing<1>},
                                           {&IID_IStream, &CreateThrowing<2>}};
    for (size_t i = 0; i < std::size(kThrown); ++i) {
        SCOPED_TRACE(kThrown[i].kind);
        IUnknown* out = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(
            Refuses::NewInstance(IID_IUnknown, reinterpret_cast<void**>(&out), kThrown[i].kind),
            kThrown[i].expected);
        EXPECT_EQ(out, nullptr);
        ComPtr<IClassFactory> factory;
        ASSERT_HRESULT_SUCCEEDED(tq::com::GetClassObject(classes, *classes[i].clsid,
                                                         IID_IClassFactory, factory.put_void()));
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&out)),
                  kThrown[i].expected);
    }
    EXPECT_EQ(tq::com::Module::LockCount(), 0) << "nothing half-built stays alive";
}

// A callee that raises the exception it was given.
class Raiser final : public ComObject<Raiser, IDispatch> {
  public:
    explicit Raiser(EXCEPINFO e) : e_(e) {}
    static std::span<const QiEntry> Interfaces() {
        static const QiEntry table[] = {TQ_QI(Raiser, IDispatch)};
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
        e->bstrDescription = e_.bstrDescription ? SysAllocString(e_.bstrDescription) : nullptr;
        return DISP_E_EXCEPTION;
    }

  private:
    EXCEPINFO e_;
};

TEST(ComBoundary, ARaisedExceptionBecomesItsScodeOrItsClassicNumber) {
    struct Case {
        SCODE scode;
        WORD wcode;
        const wchar_t* text;
        HRESULT expected;
        const wchar_t* expected_text;
    } const cases[] = {
        {E_ACCESSDENIED, 0, L"negado", E_ACCESSDENIED, L"negado"},
        {0, 76, L"Path not found", static_cast<HRESULT>(0x800A004C), L"Path not found"},
        {0, 0, nullptr, E_FAIL, L"Falha em 'Write'"},
    };
    for (const Case& c : cases) {
        EXCEPINFO e{};
        e.scode = c.scode;
        e.wCode = c.wcode;
        e.bstrDescription = const_cast<BSTR>(c.text);
        ComPtr<Raiser> callee = Raiser::Make(e);
        EXPECT_EQ(tq::com::InvokeById(callee.get(), 1, DISPATCH_METHOD, {}, nullptr, L"Write"),
                  c.expected);
        IErrorInfo* info = nullptr;
        ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
        const ComPtr<IErrorInfo> owned = ComPtr<IErrorInfo>::Attach(info);
        EXPECT_EQ(tq::com::ErrorText(info), c.expected_text);
    }
}

}  // namespace
