// tqMenuProperty: the COM side of the property page.  See menu_property.h.
#include "tq/designer/win/menu_property.h"

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <span>
#include <vector>

#include "tq/bib/com_menu_level.h"
#include "tq/com/com_ptr.h"
#include "tq/com/error_info.h"
#include "tq/com/late_bind.h"
#include "tq/com/object.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/designer/errors.h"
#include "tq/designer/win/page_window.h"
#include "tq/error.h"

namespace tq::designer {

namespace {

using com::ComPtr;

constexpr wchar_t kSource[] = L"tqMenuCtl.tqMenuProperty";
constexpr DISPID kDispidMenuTree = 1;  // _tqMenu::MenuTree

ScriptControlSource g_script_source = nullptr;

[[noreturn]] void ThrowObjectNotSet() {
    throw Error(hr::kObjectNotSet, u"Object variable or With block variable not set");
}

class MenuPropertyPage final : public com::ComObject<MenuPropertyPage, IPropertyPage2> {
  public:
    MenuPropertyPage()
        : page_(std::make_unique<win::PageWindow>(win::PageHost{
              [this](bool changed) { OnChanged(changed); }, [] { GerarScriptNoControle(); }})) {}
    ~MenuPropertyPage() {
        page_->Destroy();
        page_->model().PropertyPage_Terminate();
    }
    static std::span<const com::QiEntry> Interfaces();

    // IPropertyPage
    IFACEMETHODIMP SetPageSite(IPropertyPageSite* site) override {
        // Calls come in pairs: a site, then null before any other site.
        if (site && site_) return E_UNEXPECTED;
        site_ = site;
        return S_OK;
    }

    IFACEMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL) override {
        if (!rect) return E_POINTER;
        if (page_->hwnd()) return E_UNEXPECTED;
        return Guarded([&] {
            page_->Create(parent, *rect);
            return S_OK;
        });
    }

    IFACEMETHODIMP Deactivate() override {
        if (!page_->hwnd()) return E_UNEXPECTED;
        return Guarded([&] {
            page_->Destroy();
            page_->model().PropertyPage_Terminate();
            tree_.reset();
            return S_OK;
        });
    }

    IFACEMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
        if (!info) return E_POINTER;
        static constexpr wchar_t kTitulo[] = L"Principal";
        auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kTitulo));
        if (!title) return E_OUTOFMEMORY;
        memcpy(title, kTitulo, sizeof kTitulo);
        info->cb = sizeof(PROPPAGEINFO);
        info->pszTitle = title;
        info->size = win::PageSizePixels();
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return S_OK;
    }

    IFACEMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
        if (count > 0 && !objects) return E_POINTER;
        std::vector<ComPtr<IUnknown>> kept;
        for (ULONG i = 0; i < count; ++i) kept.emplace_back(objects[i]);
        objects_ = std::move(kept);
        if (objects_.empty()) return S_OK;  // the selection went away: nothing to load
        return Guarded([&] {
            page_->model().PropertyPage_SelectionChanged(ReadMenuTree());
            return S_OK;
        });
    }

    IFACEMETHODIMP Show(UINT cmd) override {
        if (!page_->hwnd()) return E_UNEXPECTED;
        ShowWindow(page_->hwnd(), static_cast<int>(cmd));
        return S_OK;
    }

    IFACEMETHODIMP Move(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        if (!page_->hwnd()) return E_UNEXPECTED;
        MoveWindow(page_->hwnd(), rect->left, rect->top, rect->right - rect->left,
                   rect->bottom - rect->top, TRUE);
        return S_OK;
    }

    IFACEMETHODIMP IsPageDirty() override { return page_->model().Changed() ? S_OK : S_FALSE; }

    IFACEMETHODIMP Apply() override {
        if (objects_.empty()) return S_OK;  // nothing selected: nothing to write to
        return Guarded([&] {
            PageModel& model = page_->model();
            // A frame may apply a page it has already deactivated (which released the tree):
            // take the control's tree again; the designer's nodes are still here.
            if (!model.mMenuTree()) model.RetomaMenuTree(ReadMenuTree());
            model.PropertyPage_ApplyChanges();
            if (!model.mMenuTree() || !tree_) ThrowObjectNotSet();
            ComPtr<IDispatch> control = FirstControl();
            // An object assignment (Set ctl.MenuTree = mMenuTree): by reference, by name.
            com::Check(com::PutProperty(control.get(), L"MenuTree",
                                        com::Variant::FromDispatch(tree_.get()), /*by_ref=*/true));
            return S_OK;
        });
    }

    IFACEMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }

    IFACEMETHODIMP TranslateAccelerator(MSG* msg) override {
        if (!msg) return E_POINTER;
        return page_->TranslateAccelerator(*msg) ? S_OK : S_FALSE;
    }

    // IPropertyPage2
    IFACEMETHODIMP EditProperty(DISPID id) override {
        if (id != kDispidMenuTree) return E_NOTIMPL;
        if (HWND trv = page_->Handle(Control::trvMenu)) SetFocus(trv);
        return S_OK;
    }

  private:
    template <class F>
    HRESULT Guarded(F&& f) {
        return com::Guard(IID_IPropertyPage, kSource, std::forward<F>(f));
    }

    ComPtr<IDispatch> FirstControl() const {
        if (objects_.empty() || !objects_[0]) ThrowObjectNotSet();
        ComPtr<IDispatch> d;
        if (FAILED(objects_[0].As(IID_IDispatch, &d)) || !d)
            throw Error(static_cast<int32_t>(E_NOINTERFACE),
                        u"O objeto selecionado não aceita chamadas por nome (IDispatch)");
        return d;
    }

    // The first selected control's MenuTree, read by name (null when the control has none); the
    // page keeps it in `tree_` too, to hand it back to the control on apply.
    std::unique_ptr<bib::IMenuLevel> ReadMenuTree() {
        tree_.reset();
        ComPtr<IDispatch> control = FirstControl();
        com::Variant v;
        com::Check(com::GetProperty(control.get(), L"MenuTree", &v));
        IUnknown* unk = V_VT(&v) == VT_DISPATCH  ? V_DISPATCH(&v)
                        : V_VT(&v) == VT_UNKNOWN ? V_UNKNOWN(&v)
                                                 : nullptr;
        if (!unk) {
            if (V_VT(&v) == VT_DISPATCH || V_VT(&v) == VT_UNKNOWN || V_VT(&v) == VT_EMPTY)
                return nullptr;
            throw Error(static_cast<int32_t>(DISP_E_TYPEMISMATCH), u"Type mismatch");
        }
        ComPtr<::MenuTree> tree;
        if (FAILED(unk->QueryInterface(IID_MenuTree, tree.put_void())) || !tree)
            throw Error(static_cast<int32_t>(DISP_E_TYPEMISMATCH), u"Type mismatch");
        tree_ = tree;
        return bib::WrapComMenuTree(std::move(tree));
    }

    void OnChanged(bool changed) {
        if (changed && site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }

    static void GerarScriptNoControle() {
        ComPtr<IDispatch> control;
        if (g_script_source) control = ComPtr<IDispatch>::Attach(g_script_source());
        if (!control)  // no tqMenu shown on this thread, or the one shown last is gone
            throw Error(hr::kObjectNotSet,
                        u"Nenhum controle tqMenu está ativo para gerar o script.");
        com::Variant ignored;
        try {
            com::Check(com::CallMethod(control.get(), L"GerarScript", {}, &ignored));
        } catch (const com::ComFailure& f) {
            // The page shows the control's own text for a failure (tq::Error's message).
            com::Bstr text;
            if (f.info()) f.info()->GetDescription(text.put());
            throw Error(static_cast<int32_t>(f.hr()), text.view().empty()
                                                          ? String(u"Falha em MenuTree.GerarScript")
                                                          : text.portable());
        }
    }

    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IUnknown>> objects_;
    ComPtr<::MenuTree> tree_;  // the MenuTree behind the model's level, while it has one
    std::unique_ptr<win::PageWindow> page_;
};

std::span<const com::QiEntry> MenuPropertyPage::Interfaces() {
    static const com::QiEntry table[] = {
        TQ_QI_VIA(MenuPropertyPage, IUnknown, IPropertyPage2),
        TQ_QI_VIA(MenuPropertyPage, IPropertyPage, IPropertyPage2),
        TQ_QI(MenuPropertyPage, IPropertyPage2),
    };
    return table;
}

}  // namespace

HRESULT CreateMenuPropertyPage(REFIID iid, void** out) {
    return MenuPropertyPage::NewInstance(iid, out);
}

std::vector<com::RegValue> MenuPropertyRegistryValues(const std::wstring& module_path) {
    const std::wstring clsid = L"CLSID\\" + com::GuidString(kClsidMenuProperty);
    const std::wstring progid = kMenuPropertyProgId;
    return {
        {clsid, L"", L"tqMenuProperty"},
        {clsid + L"\\InprocServer32", L"", module_path},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", L"", progid},
        {progid, L"", L"tqMenuProperty"},
        {progid + L"\\CLSID", L"", com::GuidString(kClsidMenuProperty)},
    };
}

void SetScriptControlSource(ScriptControlSource source) {
    g_script_source = source;
}

}  // namespace tq::designer
