// The fixture of the Windows tests: OLE initialised (single-threaded apartment) around each test.
#pragma once

#include <ole2.h>

#include <gtest/gtest.h>

namespace tq::test {

class ComTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr)); }
    void TearDown() override { OleUninitialize(); }
};

}  // namespace tq::test
