// The dialog driver against real message boxes: answers in order, and failures that are
// reported instead of hanging the test.
#include <gtest/gtest.h>

#include <chrono>

#include "dialog_driver.h"

namespace tq::test {
namespace {

TEST(DialogDriver, AnswersStepsInOrderAndRecordsWhatItSaw) {
    DialogDriver driver({Press(L"Um", IDNO), PressCaption(L"Dois", L"OK")});
    EXPECT_EQ(MessageBoxW(nullptr, L"Primeira pergunta", L"Um", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"Segunda", L"Dois", MB_OKCANCEL), IDOK);
    driver.Finish();
    EXPECT_TRUE(driver.ok()) << driver.Report();
    ASSERT_EQ(driver.seen().size(), 2u);
    EXPECT_EQ(driver.seen()[0].text, L"Primeira pergunta");
    EXPECT_EQ(driver.seen()[0].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(driver.seen()[0].icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32514)));  // question
    EXPECT_EQ(driver.seen()[1].title, L"Dois");
    EXPECT_FALSE(driver.seen()[1].icon);
}

TEST(DialogDriver, UnexpectedDialogIsReportedAndDismissed) {
    DialogDriver driver({});
    // No Cancel button: the driver falls back to Yes.
    EXPECT_EQ(MessageBoxW(nullptr, L"Ninguém esperava", L"Surpresa", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, L"Outra", L"Surpresa 2", MB_OKCANCEL), IDCANCEL);
    driver.Finish();
    EXPECT_FALSE(driver.ok());
    ASSERT_EQ(driver.seen().size(), 2u);
    EXPECT_FALSE(driver.seen()[0].expected);
    EXPECT_NE(driver.Report().find("Surpresa"), std::string::npos) << driver.Report();
}

TEST(DialogDriver, WrongTitleFailsTheStepAndDismissesTheDialog) {
    DialogDriver driver({Press(L"Esperado", IDOK), Press(L"Depois", IDOK)});
    EXPECT_EQ(MessageBoxW(nullptr, L"texto", L"Outro", MB_OKCANCEL), IDCANCEL);
    driver.Finish();
    ASSERT_FALSE(driver.ok());
    EXPECT_NE(driver.errors()[0].find(L"\"Outro\" instead"), std::wstring::npos) << driver.Report();
}

TEST(DialogDriver, MissingDialogFailsAtFinishWithoutWaitingForTheTimeout) {
    const auto start = std::chrono::steady_clock::now();
    DialogDriver driver({Press(L"Nunca", IDOK)}, GetCurrentThreadId(), std::chrono::seconds(60));
    driver.Finish();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    ASSERT_EQ(driver.errors().size(), 1u);
    EXPECT_NE(driver.errors()[0].find(L"never appeared"), std::wstring::npos) << driver.Report();
}

TEST(DialogDriver, MissingButtonIsAnErrorAndTheDialogStillCloses) {
    DialogDriver driver({Press(L"Aviso", IDRETRY)});
    EXPECT_EQ(MessageBoxW(nullptr, L"só OK", L"Aviso", MB_OK), IDOK);
    driver.Finish();
    ASSERT_FALSE(driver.ok());
    EXPECT_NE(driver.errors()[0].find(L"no enabled button"), std::wstring::npos) << driver.Report();
}

}  // namespace
}  // namespace tq::test
