// Helpers of the tqBiblioteca COM tests (run under Wine).
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <string>

#include "tqBiblioteca.h"
#include "tq/com/com_ptr.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"

namespace bibtest {

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::com::Variant;

// COM initialised (single-threaded apartment) around each test.
class ComTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// The DLL under test, as a Windows path (Z:\...).
std::wstring DllPath();

// A new tree through the registry, as a client does it: CLSIDFromProgID + CoCreateInstance.
ComPtr<MenuTree> NewTree();

// Add through the vtable; returns Add's result (-1 when the call failed).
short AddEntry(MenuTree* level, const wchar_t* caption, const wchar_t* nome);
ComPtr<MenuItem> ItemAt(MenuTree* level, LONG position);
ComPtr<MenuItem> ItemNamed(MenuTree* level, const wchar_t* nome);
ComPtr<MenuTree> SubOf(MenuItem* item);
short CountOf(MenuTree* level);

// The identity (IUnknown) of any interface pointer.
ComPtr<IUnknown> IdentityOf(IUnknown* p);

// Description of the thread's error object (and clears it); "" when there is none.
std::wstring TakeErrorText();

// A readable dump of a level and everything below it: one line per entry with every property;
// HndMenu included only when asked.
std::wstring Dump(MenuTree* level, bool with_hnd = false);

// The bytes a stream holds from its start.
std::string StreamBytes(IStream* stream);
// A new HGLOBAL stream holding `bytes`, positioned at its start.
ComPtr<IStream> StreamOf(const std::string& bytes);

// Bytes saved through IPersistStreamInit (the whole stream layout).
std::string SaveToBytes(IUnknown* tree);

// A three-level tree with every property of every entry set to distinct values (accents
// included), one TextoMenu left unset, and HndMenu values 1000.. on every entry.
ComPtr<MenuTree> SampleTree();

std::string Narrow(const std::wstring& s);

}  // namespace bibtest
