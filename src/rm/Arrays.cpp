#include "korvane3d/rm/Arrays.h"

#include "korvane3d/rm/Object.h"

namespace kv::rm {
namespace {

template <class ArrayInterface, class Element>
class ObjectArray final : public ArrayInterface, public kv::RefCount {
 public:
  ObjectArray(std::vector<ComPtr<Element>> items, const IID& iid) : items_(std::move(items)), iid_(iid) {}

  HRESULT QueryInterface(REFIID iid, void** out) override {
    return AnswerQuery(iid, out, {iid_}, static_cast<ArrayInterface*>(this));
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  DWORD GetSize() override { return static_cast<DWORD>(items_.size()); }
  HRESULT GetElement(DWORD index, Element** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    *out = nullptr;
    if (index >= items_.size()) return D3DRMERR_BADVALUE;
    return HandOut(items_[index].Get(), out);
  }

 private:
  ~ObjectArray() override = default;
  std::vector<ComPtr<Element>> items_;
  IID iid_;
};

template <class ArrayInterface, class Element>
ComPtr<ArrayInterface> Make(std::vector<ComPtr<Element>> items, const IID& iid) {
  return ComPtr<ArrayInterface>::Adopt(new ObjectArray<ArrayInterface, Element>(std::move(items), iid));
}

}  // namespace

ComPtr<IDirect3DRMFrameArray> MakeFrameArray(std::vector<ComPtr<IDirect3DRMFrame3>> items) {
  return Make<IDirect3DRMFrameArray>(std::move(items), IID_IDirect3DRMFrameArray);
}
ComPtr<IDirect3DRMVisualArray> MakeVisualArray(std::vector<ComPtr<IDirect3DRMVisual>> items) {
  return Make<IDirect3DRMVisualArray>(std::move(items), IID_IDirect3DRMVisualArray);
}
ComPtr<IDirect3DRMLightArray> MakeLightArray(std::vector<ComPtr<IDirect3DRMLight>> items) {
  return Make<IDirect3DRMLightArray>(std::move(items), IID_IDirect3DRMLightArray);
}

}  // namespace kv::rm
