#include "tq/bib/com_menu_level.h"

#include <oleauto.h>

#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/error.h"

namespace tq::bib {

namespace {

using com::Bstr;
using com::ComPtr;

// com::Check, but thrown as tq::Error with the callee's own text ("Falha em MenuTree.<what>"
// when it left none).
void Check(HRESULT hr, const wchar_t* what) {
    try {
        com::Check(hr);
    } catch (const com::ComFailure& f) {
        String text;
        Bstr d;
        if (f.info() && SUCCEEDED(f.info()->GetDescription(d.put()))) text = d.portable();
        if (text.empty()) text = u"Falha em MenuTree." + String(com::AsPortable(what));
        throw Error(static_cast<int32_t>(hr), text);
    }
}

class ComMenuEntry final : public IMenuEntry {
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
    int32_t HndMenu() override {
        LONG h = 0;
        Check(item_->get_HndMenu(&h), L"HndMenu");
        return h;
    }
    void SetHndMenu(int32_t v) override { Check(item_->put_HndMenu(v), L"HndMenu"); }

    std::unique_ptr<IMenuLevel> SubMenu() override {
        ComPtr<::MenuTree> sub;
        Check(item_->get_SubMenu(sub.put()), L"SubMenu");
        if (!sub)
            throw Error(static_cast<int32_t>(E_POINTER), u"MenuItem.SubMenu devolveu Nothing");
        return WrapComMenuTree(std::move(sub));
    }

  private:
    using GetS = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(BSTR*);
    using PutS = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(BSTR);
    using GetV = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(VARIANT_BOOL*);
    using PutV = HRESULT (STDMETHODCALLTYPE ::MenuItem::*)(VARIANT_BOOL);

    String Get(GetS m, const wchar_t* what) {
        Bstr b;
        Check((item_.get()->*m)(b.put()), what);
        return b.portable();
    }
    void Put(PutS m, const String& v, const wchar_t* what) {
        Bstr b(StringView{v});
        Check((item_.get()->*m)(b.get()), what);
    }
    bool GetB(GetV m, const wchar_t* what) {
        VARIANT_BOOL b = VARIANT_FALSE;
        Check((item_.get()->*m)(&b), what);
        return b != VARIANT_FALSE;
    }
    void PutB(PutV m, bool v, const wchar_t* what) {
        Check((item_.get()->*m)(v ? VARIANT_TRUE : VARIANT_FALSE), what);
    }

    ComPtr<::MenuItem> item_;
};

class ComMenuLevel final : public IMenuLevel {
  public:
    explicit ComMenuLevel(ComPtr<::MenuTree> tree) : tree_(std::move(tree)) {}

    int32_t Count() override {
        short n = 0;
        Check(tree_->get_Count(&n), L"Count");
        return n;
    }
    std::unique_ptr<IMenuEntry> Item(int32_t position) override {
        return ItemBy(com::Variant::FromLong(position));
    }
    std::unique_ptr<IMenuEntry> Item(const String& nome) override {
        return ItemBy(com::Variant::FromString(com::AsWide(nome)));
    }
    void Add(const String& caption, const String& nome) override {
        Bstr c(StringView{caption}), n(StringView{nome});
        short ignored = 0;
        BSTR cb = c.Detach(), nb = n.Detach();  // [in, out]: the callee may replace them
        const HRESULT hr = tree_->Add(&cb, &nb, &ignored);
        SysFreeString(cb);
        SysFreeString(nb);
        Check(hr, L"Add");
    }
    void Clear() override {
        com::Variant ignored;
        Check(tree_->Clear(&ignored), L"Clear");
    }

  private:
    std::unique_ptr<IMenuEntry> ItemBy(const com::Variant& index) {
        ComPtr<::MenuItem> item;
        Check(tree_->get_Item(index, item.put()), L"Item");
        if (!item) throw Error(static_cast<int32_t>(E_POINTER), u"MenuTree.Item devolveu Nothing");
        return std::make_unique<ComMenuEntry>(std::move(item));
    }

    ComPtr<::MenuTree> tree_;
};

}  // namespace

std::unique_ptr<IMenuLevel> WrapComMenuTree(ComPtr<::MenuTree> tree) {
    if (!tree) throw Error(static_cast<int32_t>(E_POINTER), u"MenuTree é Nothing");
    return std::make_unique<ComMenuLevel>(std::move(tree));
}

}  // namespace tq::bib
