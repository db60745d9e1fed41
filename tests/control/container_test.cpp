// The control inside a container: where it finds the form and its own name, the ambient
// UserMode, hiding, size, in-place window, drawing and the interfaces a container asks for.
#include <tuple>

#include "com_test.h"
#include "ctl_test.h"
#include "tqBiblioteca.h"

namespace tq::test {
namespace {

class ContainerTest : public ComTest {
  protected:
    static void Attach(_tqMenu* ctl, TestSite* site) {
        ComPtr<IOleObject> ole;
        ASSERT_EQ(ctl->QueryInterface(IID_IOleObject, ole.put_void()), S_OK);
        ASSERT_EQ(ole->SetClientSite(site), S_OK);
    }
    static void Detach(_tqMenu* ctl) {
        ComPtr<IOleObject> ole;
        ctl->QueryInterface(IID_IOleObject, ole.put_void());
        if (ole) ole->SetClientSite(nullptr);
    }
    // The title of the single entry an empty tree puts on `form`.
    static std::string NameShownOn(_tqMenu* ctl, HWND form) {
        SetExibir(ctl, true);
        VARIANT r;
        EXPECT_EQ(ctl->ReExibirMenu(&r), S_OK) << TakeErrorText();
        std::vector<MenuEntry> bar = ReadMenu(GetMenu(form));
        return bar.size() == 1 ? bar[0].text : "<" + std::to_string(bar.size()) + " entries>";
    }
};

// The form is the extender's Parent, else the top-level window holding the site's window; the
// name the extender's Name, else the ambient DisplayName, else "tqMenu".
TEST_F(ContainerTest, FormAndNameComeFromTheExtenderElseFromTheSite) {
    Form designer_form(L"Form1"), other_form(L"Form2");
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50,
                                 other_form.hwnd(), nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<TestSite> site = TestSite::Make();
    site->window = child;
    site->ambient[DISPID_AMBIENT_DISPLAYNAME] = Variant::FromString(L"mnuAmbiente");
    site->extender = MakeExtender(L"mnuExtensor", designer_form.hwnd());
    Attach(ctl.get(), site.get());
    EXPECT_EQ(NameShownOn(ctl.get(), designer_form.hwnd()), "mnuExtensor");
    EXPECT_EQ(GetMenu(other_form.hwnd()), nullptr);
    site->extender = nullptr;
    EXPECT_EQ(NameShownOn(ctl.get(), other_form.hwnd()), "mnuAmbiente");
    site->ambient.clear();
    EXPECT_EQ(NameShownOn(ctl.get(), other_form.hwnd()), "tqMenu");
    Detach(ctl.get());
}

TEST_F(ContainerTest, KeepsItsSizeAndAsksTheContainerForIt) {
    Form form;
    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<TestSite> site = TestSite::Make();
    site->window = form.hwnd();
    site->ambient[DISPID_AMBIENT_USERMODE] = Variant::FromBool(false);  // design time: visible
    Attach(ctl.get(), site.get());
    ComPtr<IOleObject> ole;
    ASSERT_EQ(ctl.As(IID_IOleObject, &ole), S_OK);

    SIZEL size{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(std::make_pair(size.cx, size.cy), std::make_pair(900L, 900L));
    SIZEL asked{5000, 1200};
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &asked), S_OK);
    EXPECT_EQ(site->layout_requests, 1);
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 900);
    SIZEL same{900, 900};
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &same), S_OK);
    EXPECT_EQ(site->layout_requests, 1);

    // In place: its own 34 x 34 window at the site's position, and a request for that size.
    site->pos = RECT{20, 30, 220, 80};
    ASSERT_EQ(
        ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, form.hwnd(), &site->pos),
        S_OK);
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(ctl.As(IID_IOleInPlaceObject, &inplace), S_OK);
    HWND own = nullptr;
    ASSERT_EQ(inplace->GetWindow(&own), S_OK);
    EXPECT_EQ(GetParent(own), form.hwnd());
    RECT rc{};
    GetWindowRect(own, &rc);
    MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(std::make_tuple(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top),
              std::make_tuple(20L, 30L, 34L, 34L));
    EXPECT_TRUE(IsWindowVisible(own));
    ASSERT_FALSE(site->pos_rect_changes.empty());
    const RECT asked_for = site->pos_rect_changes.back();
    EXPECT_EQ(std::make_pair(asked_for.right - asked_for.left, asked_for.bottom - asked_for.top),
              std::make_pair(34L, 34L));

    // Moved and stretched by the container: moved, not stretched.
    RECT moved{40, 50, 400, 90};
    ASSERT_EQ(inplace->SetObjectRects(&moved, &moved), S_OK);
    GetWindowRect(own, &rc);
    MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(std::make_pair(rc.left, rc.right - rc.left), std::make_pair(40L, 34L));

    ASSERT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_FALSE(IsWindow(own));
    Detach(ctl.get());
}

TEST_F(ContainerTest, DrawsItsToolboxPictureForDesignTimeContainers) {
    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<IViewObject2> view;
    ASSERT_EQ(ctl.As(IID_IViewObject2, &view), S_OK);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 32, 30);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 32, 30};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECTL bounds{0, 0, 32, 30};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    // The picture, doubled: a black frame line at row 1 (rows 2-3 here) and a dark blue title.
    EXPECT_EQ(GetPixel(dc, 10, 2) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(GetPixel(dc, 10, 4) & 0xFFFFFF, 0x800000u);
    SIZEL size{};
    ASSERT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &size), S_OK);
    EXPECT_EQ(size.cx, 900);
    EXPECT_EQ(
        view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
        DV_E_DVASPECT);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}

TEST_F(ContainerTest, AnswersWhatAContainerAsksOfAControl) {
    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<IUnknown> identity;
    ASSERT_EQ(ctl.As(IID_IUnknown, &identity), S_OK);
    const IID* needed[] = {&IID_IDispatch,
                           &IID_IOleObject,
                           &IID_IOleInPlaceObject,
                           &IID_IOleInPlaceActiveObject,
                           &IID_IOleWindow,
                           &IID_IOleControl,
                           &IID_IViewObject,
                           &IID_IViewObject2,
                           &IID_IPersist,
                           &IID_IPersistStreamInit,
                           &IID_IPersistStream,
                           &IID_IPersistPropertyBag,
                           &IID_IProvideClassInfo,
                           &IID_IProvideClassInfo2,
                           &IID_IConnectionPointContainer,
                           &IID_ISpecifyPropertyPages,
                           &IID_ISupportErrorInfo};
    for (size_t i = 0; i < std::size(needed); ++i) {
        ComPtr<IUnknown> p, back;
        ASSERT_EQ(ctl->QueryInterface(*needed[i], p.put_void()), S_OK) << "interface #" << i;
        ASSERT_EQ(p->QueryInterface(IID_IUnknown, back.put_void()), S_OK);
        EXPECT_EQ(back.get(), identity.get());
    }

    ComPtr<IProvideClassInfo2> pci;
    ASSERT_EQ(ctl.As(IID_IProvideClassInfo2, &pci), S_OK);
    GUID source{};
    ASSERT_EQ(pci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID___tqMenu));
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(pci->GetClassInfo(ti.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(ti->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_tqMenu));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    ti->ReleaseTypeAttr(attr);

    ComPtr<ISupportErrorInfo> sei;
    ASSERT_EQ(ctl.As(IID_ISupportErrorInfo, &sei), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID__tqMenu), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IViewObject), S_FALSE);

    // The event connection point takes only sinks of __tqMenu.
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(ctl.As(IID_IConnectionPointContainer, &cpc), S_OK);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(cpc->FindConnectionPoint(DIID___tqMenu, cp.put()), S_OK);
    ComPtr<PropertyObject> not_a_sink = PropertyObject::Make();
    DWORD cookie = 0;
    EXPECT_EQ(cp->Advise(not_a_sink->Identity(), &cookie), CONNECT_E_CANNOTCONNECT);
    ComPtr<EventSink> sink = EventSink::Make();
    ASSERT_EQ(cp->Advise(sink->Identity(), &cookie), S_OK);
    ComPtr<IEnumConnections> conns;
    ASSERT_EQ(cp->EnumConnections(conns.put()), S_OK);
    CONNECTDATA cd{};
    ULONG got = 0;
    ASSERT_EQ(conns->Next(1, &cd, &got), S_OK);
    EXPECT_EQ(cd.dwCookie, cookie);
    cd.pUnk->Release();
    EXPECT_EQ(conns->Next(1, &cd, &got), S_FALSE);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(cpc->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* two[2] = {};
    ASSERT_EQ(points->Next(2, two, &got), S_OK);
    EXPECT_EQ(got, 2u);
    two[0]->Release();
    two[1]->Release();
}

}  // namespace
}  // namespace tq::test
