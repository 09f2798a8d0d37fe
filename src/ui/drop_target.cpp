#include "ui/drop_target.h"

#include <shellapi.h>

#include <string>

namespace tessor::ui {

namespace {

FORMATETC FileListFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

class FileDropTarget final : public IDropTarget {
 public:
  explicit FileDropTarget(std::function<void(const std::filesystem::path&)> fileDropped)
      : fileDropped_(std::move(fileDropped)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
      *out = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    FORMATETC format = FileListFormat();
    accepting_ = data && data->QueryGetData(&format) == S_OK;
    *effect = accepting_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = accepting_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    accepting_ = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    accepting_ = false;
    if (!data) return E_INVALIDARG;
    FORMATETC format = FileListFormat();
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) != S_OK) return S_OK;
    std::wstring first;
    if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
      if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        first.resize(length + 1);
        DragQueryFileW(drop, 0, first.data(), length + 1);
        first.resize(length);
      }
      GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    if (first.empty()) return S_OK;
    *effect = DROPEFFECT_COPY;
    fileDropped_(std::filesystem::path(first));
    return S_OK;
  }

 private:
  ~FileDropTarget() = default;
  LONG references_ = 1;
  bool accepting_ = false;
  std::function<void(const std::filesystem::path&)> fileDropped_;
};

}  // namespace

IDropTarget* CreateFileDropTarget(std::function<void(const std::filesystem::path&)> fileDropped) {
  return new FileDropTarget(std::move(fileDropped));
}

}  // namespace tessor::ui
