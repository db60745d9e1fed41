#include "tq/designer/win/com_menu_level.h"

#include <oleauto.h>

#include <string>

#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/error.h"

namespace tq::designer::win {

using com::Bstr;
using com::ComPtr;

void ThrowIfFailed(HRESULT hr, const wchar_t* what) {
    if (SUCCEEDED(hr)) return;
    String text;
    IErrorInfo* ei = nullptr;
    if (GetErrorInfo(0, &ei) == S_OK && ei) {
        BSTR d = nullptr;
        if (SUCCEEDED(ei->GetDescription(&d))) text = com::ToPortable(d);
        SysFreeString(d);
        ei->Release();
    }
    if (text.empty()) text = u"Falha em MenuTree." + String(com::AsPortable(what));
    throw Error(static_cast<int32_t>(hr), text);
}

namespace {

VARIANT_BOOL Vb(bool v) {
    return v ? VARIANT_TRUE : VARIANT_FALSE;
}

class ComMenuEntry final : public model::IMenuEntry {
  public:
    explicit ComMenuEntry(ComPtr<::MenuItem> item) : item_(std::move(item)) {}

    String Caption() override { return Get(&::MenuItem::get_Caption, L"Caption"); }
    void SetCaption(String v) override { Put(&::MenuItem::put_Caption, v, L"Caption"); }
    String Nome() override { return Get(&::MenuItem::get_Nome, L"Nome"); }
    String TextoMenu() override { return Get(&::MenuItem::get_TextoMenu, L"TextoMenu"); }
    void SetTextoMenu(String v) override { Put(&::MenuItem::put_TextoMenu, v, L"TextoMenu"); }
    String TeclaExtenso() override { return Get(&::MenuItem::get_TeclaExtenso, L"TeclaExtenso"); }
    void SetTeclaExtenso(String v) override {
        Put(&::MenuItem::put_TeclaExtenso, v, L"TeclaExtenso");
    }
    String Descricao() override { return Get(&::MenuItem::get_Descricao, L"Descricao"); }
    void SetDescricao(String v) override { Put(&::MenuItem::put_Descricao, v, L"Descricao"); }
    bool MenuConsulta() override { return GetB(&::MenuItem::get_MenuConsulta, L"MenuConsulta"); }
    void SetMenuConsulta(bool v) override {
        PutB(&::MenuItem::put_MenuConsulta, v, L"MenuConsulta");
    }
    bool Visivel() override { return GetB(&::MenuItem::get_Visivel, L"Visivel"); }
    void SetVisivel(bool v) override { PutB(&::MenuItem::put_Visivel, v, L"Visivel"); }
    bool VisivelDefault() override {
        return GetB(&::MenuItem::get_VisivelDefault, L"VisivelDefault");
    }
    void SetVisivelDefault(bool v) override {
        PutB(&::MenuItem::put_VisivelDefault, v, L"VisivelDefault");
    }
    bool Habilitado() override { return GetB(&::MenuItem::get_Habilitado, L"Habilitado"); }
    void SetHabilitado(bool v) override { PutB(&::MenuItem::put_Habilitado, v, L"Habilitado"); }
    bool HabilitadoDefault() override {
        return GetB(&::MenuItem::get_HabilitadoDefault, L"HabilitadoDefault");
    }
    void SetHabilitadoDefault(bool v) override {
        PutB(&::MenuItem::put_HabilitadoDefault, v, L"HabilitadoDefault");
    }

    std::unique_ptr<model::IMenuLevel> SubMenu() override {
        ComPtr<::MenuTree> sub;
        ThrowIfFailed(item_->get_SubMenu(sub.put()), L"SubMenu");
        if (!sub) throw Error(static_cast<int32_t>(E_POINTER), u"SubMenu é Nothing");
        return WrapComMenuTree(std::move(sub));
    }

  private:
    using GetS = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(BSTR*);
    using PutS = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(BSTR);
    using GetV = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(VARIANT_BOOL*);
    using PutV = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(VARIANT_BOOL);

    String Get(GetS m, const wchar_t* what) {
        Bstr b;
        ThrowIfFailed((item_.get()->*m)(b.put()), what);
        return b.portable();
    }
    void Put(PutS m, const String& v, const wchar_t* what) {
        Bstr b(StringView{v});
        ThrowIfFailed((item_.get()->*m)(b.get()), what);
    }
    bool GetB(GetV m, const wchar_t* what) {
        VARIANT_BOOL b = VARIANT_FALSE;
        ThrowIfFailed((item_.get()->*m)(&b), what);
        return b != VARIANT_FALSE;
    }
    void PutB(PutV m, bool v, const wchar_t* what) {
        ThrowIfFailed((item_.get()->*m)(Vb(v)), what);
    }

    ComPtr<::MenuItem> item_;
};

class ComMenuLevel final : public model::IMenuLevel {
  public:
    explicit ComMenuLevel(ComPtr<::MenuTree> tree) : tree_(std::move(tree)) {}

    int32_t Count() override {
        short n = 0;
        ThrowIfFailed(tree_->get_Count(&n), L"Count");
        return n;
    }
    std::unique_ptr<model::IMenuEntry> Item(int32_t position) override {
        return ItemBy(com::Variant::FromLong(position));
    }
    std::unique_ptr<model::IMenuEntry> Item(const String& nome) override {
        return ItemBy(com::Variant::FromString(com::AsWide(nome)));
    }
    void Add(const String& caption, const String& nome) override {
        Bstr c(StringView{caption}), n(StringView{nome});
        short ignored = 0;
        BSTR cb = c.Detach(), nb = n.Detach();  // [in, out]: the callee may replace them
        const HRESULT hr = tree_->Add(&cb, &nb, &ignored);
        SysFreeString(cb);
        SysFreeString(nb);
        ThrowIfFailed(hr, L"Add");
    }
    void Clear() override {
        com::Variant ignored;
        ThrowIfFailed(tree_->Clear(&ignored), L"Clear");
    }

    ::MenuTree* tree() const { return tree_.get(); }

  private:
    std::unique_ptr<model::IMenuEntry> ItemBy(const com::Variant& index) {
        ComPtr<::MenuItem> item;
        ThrowIfFailed(tree_->get_Item(index, item.put()), L"Item");
        if (!item) throw Error(static_cast<int32_t>(E_POINTER), u"Item é Nothing");
        return std::make_unique<ComMenuEntry>(std::move(item));
    }

    ComPtr<::MenuTree> tree_;
};

}  // namespace

std::unique_ptr<model::IMenuLevel> WrapComMenuTree(ComPtr<::MenuTree> tree) {
    if (!tree) throw Error(static_cast<int32_t>(E_POINTER), u"MenuTree é Nothing");
    return std::make_unique<ComMenuLevel>(std::move(tree));
}

::MenuTree* ComMenuTreeOf(model::IMenuLevel& level) {
    auto* l = dynamic_cast<ComMenuLevel*>(&level);
    return l ? l->tree() : nullptr;
}

}  // namespace tq::designer::win
