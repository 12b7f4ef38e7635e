#include "lib/ui/accessible.h"

#include <oleacc.h>

#include "lib/win/handles.h"
#include "lib/win/system_library.h"

namespace dlx {
namespace {

using CreateStdAccessibleObjectProc = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectProc = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

struct TOleAcc {
  CreateStdAccessibleObjectProc CreateStd = nullptr;
  LresultFromObjectProc LresultFromObject = nullptr;
  TOleAcc() {
    // Loaded once from the system folder and kept: objects handed out may call into it later.
    HMODULE module = LoadSystemLibrary(u"oleacc.dll");
    if (!module) return;
    CreateStd = reinterpret_cast<CreateStdAccessibleObjectProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
    LresultFromObject = reinterpret_cast<LresultFromObjectProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
  }
};

const TOleAcc& OleAcc() {
  static const TOleAcc oleacc;
  return oleacc;
}

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

BSTR ToBstr(const String& text) {
  return SysAllocStringLen(W(text), static_cast<UINT>(text.size()));
}

// Forwards to the standard object, answering name, role, value and state from the control while
// its window lives.
class TAccessible final : public IAccessible {
 public:
  TAccessible(HWND window, IAccessible* standard, IDLXAccessibleSource& source)
      : window_(window), standard_(standard), source_(&source) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&references_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
    return standard_->Invoke(id, iid, locale, flags, params, result, exception, argument);
  }

  // IAccessible: what the control knows itself.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    if (!IsSelf(child) || !Alive()) return standard_->get_accName(child, name);
    *name = ToBstr(source_->AccessibleName());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    if (!IsSelf(child) || !Alive()) return standard_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = source_->AccessibleRole();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!value) return E_POINTER;
    if (!IsSelf(child) || !Alive()) return standard_->get_accValue(child, value);
    const String text = source_->AccessibleValue();
    if (text.empty()) {
      *value = nullptr;
      return S_FALSE;
    }
    *value = ToBstr(text);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = standard_->get_accState(child, state);
    if (SUCCEEDED(result) && state && state->vt == VT_I4 && IsSelf(child) && Alive())
      state->lVal |= source_->AccessibleState();
    return result;
  }

  // IAccessible: everything else as the standard object has it.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return standard_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override {
    return standard_->get_accChild(child, dispatch);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    if (!text) return E_POINTER;
    if (!IsSelf(child) || !Alive()) return standard_->get_accDescription(child, text);
    const String description = source_->AccessibleDescription();
    if (description.empty()) return standard_->get_accDescription(child, text);
    *text = ToBstr(description);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
    return standard_->get_accHelp(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
    return standard_->get_accKeyboardShortcut(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override {
    if (text && IsSelf(child) && Alive()) {
      const String action = source_->AccessibleDefaultAction();
      if (!action.empty()) {
        *text = ToBstr(action);
        return S_OK;
      }
    }
    return standard_->get_accDefaultAction(child, text);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
    return standard_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (IsSelf(child) && Alive() && !source_->AccessibleDefaultAction().empty()) {
      source_->AccessibleDoDefaultAction();
      return S_OK;
    }
    return standard_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override { return E_NOTIMPL; }

 private:
  ~TAccessible() = default;
  // The object may be asked after the control is gone: then the standard object answers alone.
  bool Alive() const { return IsWindow(window_) && GetPropW(window_, L"DLX.Control") != nullptr; }

  LONG references_ = 1;
  HWND window_;
  TComPtr<IAccessible> standard_;
  IDLXAccessibleSource* source_;
};

}  // namespace

String StripMnemonic(const String& caption) {
  String text;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
    text += caption[i];
  }
  return text;
}

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, IDLXAccessibleSource& source) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
  const TOleAcc& oleacc = OleAcc();
  if (!oleacc.CreateStd || !oleacc.LresultFromObject) return 0;
  TComPtr<IAccessible> standard;
  if (FAILED(oleacc.CreateStd(window, OBJID_CLIENT, __uuidof(IAccessible), standard.AsOutParam())) ||
      !standard)
    return 0;
  TComPtr<IAccessible> object(new TAccessible(window, standard.Detach(), source));
  return oleacc.LresultFromObject(__uuidof(IAccessible), wParam, object.Get());
}

}  // namespace dlx
