#include "tq/script/script_file.h"

#include <cstdio>
#include <string>

#include "tq/com/com_ptr.h"
#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"

namespace tq::script {

using com::ComFailure;
using com::ComPtr;
using com::Variant;

namespace {

// Our own text for an error the FileSystemObject reported without one (Wine's gives none).
// Its codes are the classic runtime's file errors (0x800A0000 + number); Win32 codes are
// accepted too, for errors passed on as they came from the file system.
std::wstring DescribeFileError(HRESULT hr, std::wstring_view path) {
    const std::wstring p(path);
    switch (static_cast<uint32_t>(hr)) {
        case 0x800A004C:  // 76 path not found
        case 0x80070003:  // ERROR_PATH_NOT_FOUND
        case 0x80070035:  // ERROR_BAD_NETPATH
        case 0x80070043:  // ERROR_BAD_NET_NAME
            return L"Caminho não encontrado: " + p;
        case 0x800A0035:  // 53 file not found
        case 0x80070002:  // ERROR_FILE_NOT_FOUND
            return L"Arquivo não encontrado: " + p;
        case 0x800A0034:  // 52 bad file name or number
        case 0x8007007B:  // ERROR_INVALID_NAME
            return L"Nome de arquivo inválido: " + p;
        case 0x800A003A:  // 58 file already exists
        case 0x80070050:  // ERROR_FILE_EXISTS
            return L"O arquivo já existe: " + p;
        case 0x800A003D:  // 61 disk full
        case 0x80070070:  // ERROR_DISK_FULL
            return L"Disco cheio ao gravar: " + p;
        case 0x800A0046:  // 70 permission denied
        case 0x80070005:  // ERROR_ACCESS_DENIED
            return L"Permissão negada: " + p;
        case 0x800A0047:  // 71 disk not ready
        case 0x80070015:  // ERROR_NOT_READY
            return L"O disco não está pronto: " + p;
        case 0x800A004B:  // 75 path/file access error
            return L"Erro de acesso ao caminho ou arquivo: " + p;
        case 0x800A0039:  // 57 device I/O error
            return L"Erro de entrada/saída ao gravar: " + p;
    }
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return L"Erro " + std::wstring(code) + L" do sistema de arquivos ao gravar: " + p;
}

// IDispatch::Invoke that keeps what the callee said: a DISP_E_EXCEPTION becomes its scode, with
// an error object holding the callee's text and source, or our own text when it gave none.
void Invoke(IDispatch* d, DISPID id, WORD flags, VARIANTARG* args_right_to_left, UINT count,
            VARIANT* result, std::wstring_view path) {
    DISPPARAMS params{};
    params.rgvarg = args_right_to_left;
    params.cArgs = count;
    EXCEPINFO excep{};
    UINT arg_err = 0;
    HRESULT hr =
        d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, &arg_err);
    if (SUCCEEDED(hr)) return;
    std::wstring text, source;
    if (hr == DISP_E_EXCEPTION) {
        if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
        if (excep.scode)
            hr = excep.scode;
        else if (excep.wCode)
            hr = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, excep.wCode);
        else
            hr = E_FAIL;
        if (excep.bstrDescription) text = excep.bstrDescription;
        if (excep.bstrSource) source = excep.bstrSource;
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrHelpFile);
    }
    if (text.empty()) text = DescribeFileError(hr, path);
    if (source.empty()) source = L"Scripting.FileSystemObject";
    com::ReportError(hr, text, GUID_NULL, source);
    throw ComFailure(hr);
}

DISPID DispId(IDispatch* d, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    const HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        com::ReportError(hr, std::wstring(L"O objeto de arquivo não tem o membro ") + name);
        throw ComFailure(hr);
    }
    return id;
}

Variant TextArg(std::wstring_view s) {
    Variant v = Variant::FromString(s);
    if (!V_BSTR(&v) && !s.empty()) throw std::bad_alloc();
    return v;
}

// Feeds the writer's lines to an open TextStream.
class StreamSink final : public LineSink {
  public:
    StreamSink(IDispatch* stream, WriteMode mode, std::wstring_view path)
        : stream_(stream), mode_(mode), path_(path) {
        id_ = DispId(stream, mode == WriteMode::kLinePerCall ? L"WriteLine" : L"Write");
    }

    void WriteLine(tq::StringView line) override {
        if (mode_ == WriteMode::kLinePerCall) {
            Send(com::AsWide(line));
            return;
        }
        buffer_ += com::AsWide(line);
        buffer_ += L"\r\n";
        if (buffer_.size() >= kBatchChars) Flush();
    }

    void Flush() {
        if (buffer_.empty()) return;
        Send(buffer_);
        buffer_.clear();
    }

  private:
    // Lines are only ever split between batches at line ends, so a batch never cuts a
    // character (or a surrogate pair) in two: the bytes are those of one WriteLine per line.
    // About 32K characters a call: few enough calls that their cost vanishes, and a BSTR and
    // an ANSI copy small enough for the heap to reuse blocks (multi-megabyte batches were
    // measured three times slower: each took fresh pages from the system).
    static constexpr size_t kBatchChars = size_t{1} << 15;

    void Send(std::wstring_view text) {
        Variant arg = TextArg(text);
        Variant ignored;
        Invoke(stream_, id_, DISPATCH_METHOD, &arg, 1, &ignored, path_);
    }

    IDispatch* stream_;
    WriteMode mode_;
    std::wstring_view path_;
    DISPID id_ = 0;
    std::wstring buffer_;
};

}  // namespace

size_t WriteScriptFile(bib::IMenuLevel& menu, std::wstring_view path, WriteMode mode) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(L"Scripting.FileSystemObject", &clsid);
    if (FAILED(hr)) {
        com::ReportError(hr, L"Scripting.FileSystemObject não está registrado");
        throw ComFailure(hr);
    }
    ComPtr<IDispatch> fso;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          fso.put_void());
    if (FAILED(hr)) {
        com::ReportError(hr, L"Não foi possível criar Scripting.FileSystemObject");
        throw ComFailure(hr);
    }

    // CreateTextFile(FileName, Overwrite): right-to-left in DISPPARAMS.
    ComPtr<IDispatch> stream;
    {
        Variant args[2];
        args[1] = TextArg(path);
        args[0] = Variant::FromBool(true);
        Variant created;
        Invoke(fso.get(), DispId(fso.get(), L"CreateTextFile"), DISPATCH_METHOD, args, 2, &created,
               path);
        if (V_VT(&created) == VT_DISPATCH && V_DISPATCH(&created)) stream = V_DISPATCH(&created);
        if (!stream) {
            com::ReportError(E_UNEXPECTED,
                             L"CreateTextFile não devolveu o arquivo: " + std::wstring(path));
            throw ComFailure(E_UNEXPECTED);
        }
    }

    // From here on the file exists: any failure removes it again.
    const DISPID close_id = DispId(stream.get(), L"Close");
    try {
        StreamSink sink(stream.get(), mode, path);
        const size_t lines = WriteScript(menu, sink);
        sink.Flush();
        Variant ignored;
        Invoke(stream.get(), close_id, DISPATCH_METHOD, nullptr, 0, &ignored, path);
        return lines;
    } catch (...) {
        Variant ignored;
        DISPPARAMS none{};
        stream->Invoke(close_id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &ignored,
                       nullptr, nullptr);
        stream = nullptr;
        fso = nullptr;
        DeleteFileW(std::wstring(path).c_str());
        throw;
    }
}

}  // namespace tq::script
