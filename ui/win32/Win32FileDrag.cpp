#include "Win32FileDrag.h"

#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>

#include "AppError.h"
#include "Win32Text.h"

namespace halvarin {

namespace {

FORMATETC HDropFormat() {
  return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// Counted COM objects that delete themselves, for the two interfaces a drag
// source implements.
template <typename Interface>
class ComObject : public Interface {
 public:
  virtual ~ComObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(Interface))) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
};

// Offers the files as CF_HDROP, made afresh for every taker.
class FileDataObject final : public ComObject<IDataObject> {
 public:
  explicit FileDataObject(std::vector<std::string> files) : files_(std::move(files)) {}

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format == nullptr || medium == nullptr) {
      return E_INVALIDARG;
    }
    const HRESULT offered = QueryGetData(format);
    if (offered != S_OK) {
      return offered;
    }
    HGLOBAL drop = MakeHDrop(files_);
    if (drop == nullptr) {
      return E_OUTOFMEMORY;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = drop;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (format == nullptr) {
      return E_INVALIDARG;
    }
    if (format->cfFormat != CF_HDROP || format->dwAspect != DVASPECT_CONTENT) {
      return DV_E_FORMATETC;
    }
    return (format->tymed & TYMED_HGLOBAL) != 0 ? S_OK : DV_E_TYMED;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out != nullptr) {
      out->ptd = nullptr;
    }
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    if (direction != DATADIR_GET) {
      return E_NOTIMPL;
    }
    const FORMATETC offered = HDropFormat();
    return ::SHCreateStdEnumFmtEtc(1, &offered, formats);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  std::vector<std::string> files_;
};

// The left button drags; releasing it drops, Esc gives up.
class DropSource final : public ComObject<IDropSource> {
 public:
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keys) override {
    if (escapePressed) {
      return DRAGDROP_S_CANCEL;
    }
    return (keys & MK_LBUTTON) == 0 ? DRAGDROP_S_DROP : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

std::wstring FullPath(const std::string& file) {
  std::wstring path = WideText(file);
  for (wchar_t& c : path) {
    c = c == L'/' ? L'\\' : c;
  }
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    return path;
  }
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  full.resize(length < size ? length : 0);
  return full.empty() ? path : full;
}

}  // namespace

HGLOBAL MakeHDrop(const std::vector<std::string>& files) {
  std::wstring list;
  for (const std::string& file : files) {
    list += FullPath(file);
    list += L'\0';
  }
  list += L'\0';
  const size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (memory == nullptr) {
    return nullptr;
  }
  auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(),
              list.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  return memory;
}

DWORD DragFilesOut(const std::vector<std::string>& files) {
  auto* data = new FileDataObject(files);
  auto* source = new DropSource();
  DWORD effect = DROPEFFECT_NONE;
  // A copy only: a move would let the target ask us to delete the file.
  const HRESULT result = ::DoDragDrop(data, source, DROPEFFECT_COPY, &effect);
  data->Release();
  source->Release();
  if (FAILED(result)) {
    throw AppError(errPathFileAccess, "Toolkit",
                   "Cannot drag the entry out: " + SystemReason(static_cast<DWORD>(result)) + ".");
  }
  return result == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}

}  // namespace halvarin
