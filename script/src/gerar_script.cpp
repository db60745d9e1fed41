#include "tq/script/gerar_script.h"

#include <memory>
#include <string>

#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/script/input_box.h"
#include "tq/script/script_file.h"
#include "tq/script/script_format.h"
#include "tq/bib/com_menu_level.h"
#include "tq/com/com_ptr.h"
#include "tqBiblioteca.h"

namespace tq::script {

namespace {

constexpr wchar_t kEmptyText[] = L"Nenhum Menu Foi Definido Ainda";
constexpr wchar_t kEmptyTitle[] = L"Tá Querendo Me Enganar É ?";
constexpr UINT kEmptyStyle = 48;  // OK, exclamation icon
constexpr wchar_t kPromptStart[] = L"O Arquivo Será Gerado No Diretório: ";
constexpr wchar_t kAskTitle[] = L"Informe o Nome do Script SEM a Extensão";
constexpr wchar_t kDefaultName[] = L"PavoScript";
constexpr wchar_t kCancelText[] = L"Cancela a Geração do Script ?";
constexpr wchar_t kAlertTitle[] = L"Alerta!";
constexpr UINT kCancelStyle = 52;   // Yes and No, exclamation icon
constexpr UINT kRefusedStyle = 48;  // OK, exclamation icon

int Message(HWND owner, const wchar_t* text, const wchar_t* title, UINT style) {
    const int r = MessageBoxW(owner, text, title, style);
    if (r == 0) {
        const DWORD err = GetLastError();
        throw Error(
            static_cast<int32_t>(HRESULT_FROM_WIN32(err ? err : ERROR_INVALID_WINDOW_HANDLE)),
            u"Não foi possível mostrar a mensagem");
    }
    return r;
}

// Asks for the name until the user gives one the folder can take or confirms the cancellation
// ("" then).  A name that would leave the folder, or is no ordinary file name there, is refused
// with a message saying why, and offered again in the box to be corrected.
std::wstring AskName(HWND owner, const String& folder) {
    const std::wstring prompt = kPromptStart + std::wstring(com::AsWide(folder));
    std::wstring proposal = kDefaultName;
    for (;;) {
        std::wstring answer = InputBox(owner, prompt, kAskTitle, proposal);
        if (answer.empty()) {
            if (Message(owner, kCancelText, kAlertTitle, kCancelStyle) == IDYES) return {};
            proposal = kDefaultName;
            continue;
        }
        const StringView name = com::AsPortable(answer);
        const NameProblem problem = CheckScriptName(folder, name);
        if (problem == NameProblem::kNone) return answer;
        const String text = NameProblemText(problem, name);
        Message(owner, std::wstring(com::AsWide(text)).c_str(), kAlertTitle, kRefusedStyle);
        proposal = std::move(answer);
    }
}

}  // namespace

HRESULT GerarScript(HWND owner, MenuTree* tree, const wchar_t* library_path, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    return com::Guard(GUID_NULL, L"tqMenuCtl", [&]() -> HRESULT {
        if (!tree) throw Error(hr::kInvalidArg, u"Nenhum MenuTree foi dado");
        if (!library_path) throw Error(hr::kInvalidArg, u"O caminho da biblioteca não foi dado");

        const std::unique_ptr<bib::IMenuLevel> menu =
            bib::WrapComMenuTree(com::ComPtr<MenuTree>(tree));
        if (menu->Count() == 0) {
            Message(owner, kEmptyText, kEmptyTitle, kEmptyStyle);
            return S_OK;
        }

        const String folder = TargetFolder(com::AsPortable(library_path));
        const std::wstring answer = AskName(owner, folder);
        if (answer.empty()) return S_OK;

        const String path = folder + ScriptFileName(com::AsPortable(answer));
        WriteScriptFile(*menu, com::AsWide(path));
        return S_OK;
    });
}

}  // namespace tq::script
