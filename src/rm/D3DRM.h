// The retained-mode engine's public interfaces under their Windows names:
// abstract classes with the methods the package calls, one implementation
// class each inside src/rm. Every method takes the engine lock (EngineLock.h)
// and returns an HRESULT; nothing throws.
#pragma once

#include "korvane3d/platform/win/HResult.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRMDef.h"
#include "korvane3d/rm/D3DRMGuids.h"

namespace kv {

class IDirect3DRMObject;
class IDirect3DRMVisual;
class IDirect3DRMFrame3;
class IDirect3DRMMeshBuilder3;
class IDirect3DRMMesh;
class IDirect3DRMLight;
class IDirect3DRMMaterial2;
class IDirect3DRMTexture3;
class IDirect3DRMWrap;
class IDirect3DRMShadow2;
class IDirect3DRMFrameArray;
class IDirect3DRMVisualArray;
class IDirect3DRMLightArray;
class IDirect3DRMFaceArray;  // never handed out: AddFaces stores null there
class IDirect3D2;
class IDirect3DDevice2;
class IDirect3DRMDevice3;    // DeviceInterfaces.h
class IDirect3DRMViewport2;  // DeviceInterfaces.h

namespace image {
struct Image;
}

// One interface per object kind; the older names and interface versions are
// the same object and the same interface.
using IDirect3DRMFrame = IDirect3DRMFrame3;
using IDirect3DRMFrame2 = IDirect3DRMFrame3;
using IDirect3DRMMeshBuilder = IDirect3DRMMeshBuilder3;
using IDirect3DRMMeshBuilder2 = IDirect3DRMMeshBuilder3;
using IDirect3DRMTexture = IDirect3DRMTexture3;
using IDirect3DRMTexture2 = IDirect3DRMTexture3;
using IDirect3DRMMaterial = IDirect3DRMMaterial2;
using IDirect3DRMShadow = IDirect3DRMShadow2;

using D3DRMOBJECTCALLBACK = void (*)(IDirect3DRMObject* object, void* arg);
using D3DRMFRAME3MOVECALLBACK = void (*)(IDirect3DRMFrame3* frame, void* arg, D3DVALUE delta);
using D3DRMFRAMEMOVECALLBACK = D3DRMFRAME3MOVECALLBACK;
using D3DRMLOADTEXTURE3CALLBACK = HRESULT (*)(char* name, void* arg, IDirect3DRMTexture3** texture);
using D3DRMLOADTEXTURECALLBACK = D3DRMLOADTEXTURE3CALLBACK;

class IDirect3DRMObject : public IUnknown {
 public:
  // A copy of the object (see each implementation for how deep).
  virtual HRESULT Clone(IUnknown* outer, REFIID iid, void** out) = 0;
  // Destroy callbacks run in reverse registration order when the object dies.
  virtual HRESULT AddDestroyCallback(D3DRMOBJECTCALLBACK cb, void* arg) = 0;
  virtual HRESULT DeleteDestroyCallback(D3DRMOBJECTCALLBACK cb, void* arg) = 0;
  virtual HRESULT SetAppData(DWORD data) = 0;
  virtual DWORD GetAppData() = 0;
  virtual HRESULT SetName(LPCSTR name) = 0;
  // size in: buffer size (with the terminator); out: the size needed.
  virtual HRESULT GetName(DWORD* size, LPSTR name) = 0;
  virtual HRESULT GetClassName(DWORD* size, LPSTR name) = 0;
};

// Anything that can hang on a frame and be drawn: mesh builders, meshes,
// shadows, textures (as decals) and frames (as instances).
class IDirect3DRMVisual : public IDirect3DRMObject {};

class IDirect3DRMFrameArray : public IUnknown {
 public:
  virtual DWORD GetSize() = 0;
  virtual HRESULT GetElement(DWORD index, IDirect3DRMFrame3** out) = 0;
};

class IDirect3DRMVisualArray : public IUnknown {
 public:
  virtual DWORD GetSize() = 0;
  virtual HRESULT GetElement(DWORD index, IDirect3DRMVisual** out) = 0;
};

class IDirect3DRMLightArray : public IUnknown {
 public:
  virtual DWORD GetSize() = 0;
  virtual HRESULT GetElement(DWORD index, IDirect3DRMLight** out) = 0;
};

class IDirect3DRMFrame3 : public IDirect3DRMVisual {
 public:
  // Hierarchy.
  virtual HRESULT AddChild(IDirect3DRMFrame3* child) = 0;
  virtual HRESULT DeleteChild(IDirect3DRMFrame3* child) = 0;
  virtual HRESULT GetChildren(IDirect3DRMFrameArray** children) = 0;
  virtual HRESULT GetParent(IDirect3DRMFrame3** parent) = 0;
  virtual HRESULT GetScene(IDirect3DRMFrame3** scene) = 0;

  // Visuals and lights.
  virtual HRESULT AddVisual(IUnknown* visual) = 0;
  virtual HRESULT DeleteVisual(IUnknown* visual) = 0;
  virtual HRESULT GetVisuals(DWORD* count, IUnknown** visuals) = 0;
  virtual HRESULT GetVisualArray(IDirect3DRMVisualArray** visuals) = 0;
  virtual HRESULT AddLight(IDirect3DRMLight* light) = 0;
  virtual HRESULT DeleteLight(IDirect3DRMLight* light) = 0;
  virtual HRESULT GetLights(IDirect3DRMLightArray** lights) = 0;

  // Transform; ref == nullptr means world coordinates.
  virtual HRESULT AddTransform(D3DRMCOMBINETYPE type, const D3DRMMATRIX4D matrix) = 0;
  virtual HRESULT AddTranslation(D3DRMCOMBINETYPE type, D3DVALUE x, D3DVALUE y, D3DVALUE z) = 0;
  virtual HRESULT AddScale(D3DRMCOMBINETYPE type, D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) = 0;
  virtual HRESULT AddRotation(D3DRMCOMBINETYPE type, D3DVALUE x, D3DVALUE y, D3DVALUE z, D3DVALUE theta) = 0;
  virtual HRESULT GetTransform(IDirect3DRMFrame3* ref, D3DRMMATRIX4D matrix) = 0;
  virtual HRESULT SetPosition(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z) = 0;
  virtual HRESULT GetPosition(IDirect3DRMFrame3* ref, D3DVECTOR* position) = 0;
  virtual HRESULT SetOrientation(IDirect3DRMFrame3* ref, D3DVALUE dx, D3DVALUE dy, D3DVALUE dz, D3DVALUE ux,
                                 D3DVALUE uy, D3DVALUE uz) = 0;
  virtual HRESULT GetOrientation(IDirect3DRMFrame3* ref, D3DVECTOR* dir, D3DVECTOR* up) = 0;
  virtual HRESULT SetRotation(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z, D3DVALUE theta) = 0;
  virtual HRESULT GetRotation(IDirect3DRMFrame3* ref, D3DVECTOR* axis, D3DVALUE* theta) = 0;
  virtual HRESULT SetVelocity(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z, BOOL withRotation) = 0;
  virtual HRESULT GetVelocity(IDirect3DRMFrame3* ref, D3DVECTOR* velocity, BOOL withRotation) = 0;
  // Points between this frame's coordinates and world coordinates.
  virtual HRESULT Transform(D3DVECTOR* dst, const D3DVECTOR* src) = 0;
  virtual HRESULT InverseTransform(D3DVECTOR* dst, const D3DVECTOR* src) = 0;

  // Motion.
  virtual HRESULT Move(D3DVALUE delta) = 0;
  virtual HRESULT AddMoveCallback(D3DRMFRAME3MOVECALLBACK cb, void* arg, DWORD flags) = 0;
  virtual HRESULT DeleteMoveCallback(D3DRMFRAME3MOVECALLBACK cb, void* arg) = 0;

  // Appearance.
  virtual HRESULT SetColor(D3DCOLOR color) = 0;
  virtual HRESULT SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual D3DCOLOR GetColor() = 0;
  virtual HRESULT SetMaterialMode(D3DRMMATERIALMODE mode) = 0;
  virtual D3DRMMATERIALMODE GetMaterialMode() = 0;
  virtual HRESULT SetTexture(IDirect3DRMTexture3* texture) = 0;
  virtual HRESULT GetTexture(IDirect3DRMTexture3** texture) = 0;
  virtual HRESULT SetTraversalOptions(DWORD flags) = 0;
  virtual HRESULT GetTraversalOptions(DWORD* flags) = 0;

  // Scene settings; they take effect on the root of the hierarchy.
  virtual HRESULT SetSceneBackground(D3DCOLOR color) = 0;
  virtual HRESULT SetSceneBackgroundRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual D3DCOLOR GetSceneBackground() = 0;
  virtual HRESULT SetSceneBackgroundImage(IDirect3DRMTexture3* texture) = 0;
  virtual HRESULT GetSceneBackgroundImage(IDirect3DRMTexture3** texture) = 0;
  virtual HRESULT SetSceneFogEnable(BOOL enable) = 0;
  virtual BOOL GetSceneFogEnable() = 0;
  virtual HRESULT SetSceneFogColor(D3DCOLOR color) = 0;
  virtual D3DCOLOR GetSceneFogColor() = 0;
  virtual HRESULT SetSceneFogMode(D3DRMFOGMODE mode) = 0;
  virtual D3DRMFOGMODE GetSceneFogMode() = 0;
  virtual HRESULT SetSceneFogParams(D3DVALUE start, D3DVALUE end, D3DVALUE density) = 0;
  virtual HRESULT GetSceneFogParams(D3DVALUE* start, D3DVALUE* end, D3DVALUE* density) = 0;
  virtual HRESULT SetSceneFogMethod(D3DRMFOGMETHOD method) = 0;
  virtual HRESULT GetSceneFogMethod(D3DRMFOGMETHOD* method) = 0;
};

class IDirect3DRMMeshBuilder3 : public IDirect3DRMVisual {
 public:
  // Face data: per face a count n, then n vertex indices (normalCount == 0)
  // or n (vertex, normal) pairs, the list ending with 0. Indices refer to
  // the arrays of this call; everything is appended.
  virtual HRESULT AddFaces(DWORD vertexCount, const D3DVECTOR* vertices, DWORD normalCount, const D3DVECTOR* normals,
                           const DWORD* faceData, IDirect3DRMFaceArray** faces) = 0;
  virtual HRESULT AddMeshBuilder(IDirect3DRMMeshBuilder3* other, DWORD flags) = 0;
  virtual int AddVertex(D3DVALUE x, D3DVALUE y, D3DVALUE z) = 0;
  virtual int AddNormal(D3DVALUE x, D3DVALUE y, D3DVALUE z) = 0;
  virtual HRESULT ReserveSpace(DWORD vertexCount, DWORD normalCount, DWORD faceCount) = 0;
  // Null arrays report the sizes; given arrays must be large enough.
  virtual HRESULT GetGeometry(DWORD* vertexCount, D3DVECTOR* vertices, DWORD* normalCount, D3DVECTOR* normals,
                              DWORD* faceDataSize, DWORD* faceData) = 0;
  virtual HRESULT GetBox(D3DRMBOX* box) = 0;
  virtual int GetVertexCount() = 0;
  virtual int GetNormalCount() = 0;
  virtual int GetFaceCount() = 0;
  virtual HRESULT GetVertex(DWORD index, D3DVECTOR* vertex) = 0;
  virtual HRESULT SetVertex(DWORD index, D3DVALUE x, D3DVALUE y, D3DVALUE z) = 0;
  virtual HRESULT GetNormal(DWORD index, D3DVECTOR* normal) = 0;
  virtual HRESULT SetNormal(DWORD index, D3DVALUE x, D3DVALUE y, D3DVALUE z) = 0;
  virtual HRESULT GetTextureCoordinates(DWORD index, D3DVALUE* u, D3DVALUE* v) = 0;
  virtual HRESULT SetTextureCoordinates(DWORD index, D3DVALUE u, D3DVALUE v) = 0;
  virtual D3DCOLOR GetVertexColor(DWORD index) = 0;
  virtual HRESULT SetVertexColor(DWORD index, D3DCOLOR color) = 0;
  virtual HRESULT SetVertexColorRGB(DWORD index, D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual HRESULT Empty(DWORD flags) = 0;
  virtual HRESULT GenerateNormals(D3DVALUE crease, DWORD flags) = 0;
  virtual HRESULT Scale(D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) = 0;
  virtual HRESULT Translate(D3DVALUE tx, D3DVALUE ty, D3DVALUE tz) = 0;

  // Appearance of every face.
  virtual HRESULT SetColor(D3DCOLOR color) = 0;
  virtual HRESULT SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual HRESULT SetTexture(IDirect3DRMTexture3* texture) = 0;
  virtual HRESULT GetTexture(IDirect3DRMTexture3** texture) = 0;
  virtual HRESULT SetMaterial(IDirect3DRMMaterial2* material) = 0;
  virtual HRESULT GetMaterial(IDirect3DRMMaterial2** material) = 0;
  virtual HRESULT SetTextureTopology(BOOL wrapU, BOOL wrapV) = 0;
  virtual HRESULT SetQuality(D3DRMRENDERQUALITY quality) = 0;
  virtual D3DRMRENDERQUALITY GetQuality() = 0;
  virtual HRESULT SetPerspective(BOOL enable) = 0;
  virtual BOOL GetPerspective() = 0;

  // A separate, unchanging copy of the present geometry.
  virtual HRESULT CreateMesh(IDirect3DRMMesh** mesh) = 0;

  // Files: the first mesh of a DirectX file (source is the file name).
  virtual HRESULT Load(void* source, void* objectId, D3DRMLOADOPTIONS options, D3DRMLOADTEXTURE3CALLBACK cb,
                       void* arg) = 0;
  virtual HRESULT Save(LPCSTR fileName, D3DRMXOFFORMAT format, D3DRMSAVEOPTIONS options) = 0;
};

// A frozen copy of a mesh builder's geometry (what CreateMesh returns).
class IDirect3DRMMesh : public IDirect3DRMVisual {
 public:
  virtual HRESULT GetBox(D3DRMBOX* box) = 0;
  virtual DWORD GetGroupCount() = 0;
  virtual int GetVertexCount() = 0;
  virtual int GetFaceCount() = 0;
};

class IDirect3DRMLight : public IDirect3DRMObject {
 public:
  virtual HRESULT SetType(D3DRMLIGHTTYPE type) = 0;
  virtual D3DRMLIGHTTYPE GetType() = 0;
  virtual HRESULT SetColor(D3DCOLOR color) = 0;
  virtual HRESULT SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual D3DCOLOR GetColor() = 0;
  virtual HRESULT SetRange(D3DVALUE range) = 0;
  virtual D3DVALUE GetRange() = 0;
  virtual HRESULT SetUmbra(D3DVALUE angle) = 0;
  virtual D3DVALUE GetUmbra() = 0;
  virtual HRESULT SetPenumbra(D3DVALUE angle) = 0;
  virtual D3DVALUE GetPenumbra() = 0;
  virtual HRESULT SetConstantAttenuation(D3DVALUE value) = 0;
  virtual D3DVALUE GetConstantAttenuation() = 0;
  virtual HRESULT SetLinearAttenuation(D3DVALUE value) = 0;
  virtual D3DVALUE GetLinearAttenuation() = 0;
  virtual HRESULT SetQuadraticAttenuation(D3DVALUE value) = 0;
  virtual D3DVALUE GetQuadraticAttenuation() = 0;
  // The light lights only this frame and what hangs below it; null: all.
  virtual HRESULT SetEnableFrame(IDirect3DRMFrame3* frame) = 0;
  virtual HRESULT GetEnableFrame(IDirect3DRMFrame3** frame) = 0;
};

class IDirect3DRMMaterial2 : public IDirect3DRMObject {
 public:
  virtual HRESULT SetPower(D3DVALUE power) = 0;
  virtual D3DVALUE GetPower() = 0;
  virtual HRESULT SetSpecular(D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual HRESULT GetSpecular(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) = 0;
  virtual HRESULT SetEmissive(D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual HRESULT GetEmissive(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) = 0;
  virtual HRESULT SetAmbient(D3DVALUE r, D3DVALUE g, D3DVALUE b) = 0;
  virtual HRESULT GetAmbient(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) = 0;
};

class IDirect3DRMTexture3 : public IDirect3DRMVisual {
 public:
  virtual HRESULT SetColors(DWORD colors) = 0;
  virtual DWORD GetColors() = 0;
  virtual HRESULT SetShades(DWORD shades) = 0;
  virtual DWORD GetShades() = 0;
  virtual HRESULT GenerateMIPMap(DWORD flags) = 0;
  virtual HRESULT SetDecalSize(D3DVALUE width, D3DVALUE height) = 0;
  virtual HRESULT GetDecalSize(D3DVALUE* width, D3DVALUE* height) = 0;
  virtual HRESULT SetDecalOrigin(LONG x, LONG y) = 0;
  virtual HRESULT GetDecalOrigin(LONG* x, LONG* y) = 0;
  virtual HRESULT SetDecalScale(DWORD scale) = 0;
  virtual DWORD GetDecalScale() = 0;
  virtual HRESULT SetDecalTransparency(BOOL transparent) = 0;
  virtual BOOL GetDecalTransparency() = 0;
  virtual HRESULT SetDecalTransparentColor(D3DCOLOR color) = 0;
  virtual D3DCOLOR GetDecalTransparentColor() = 0;
  virtual HRESULT GetSize(DWORD* width, DWORD* height) = 0;
};

class IDirect3DRMWrap : public IDirect3DRMObject {
 public:
  // Texture coordinates of every vertex of a mesh builder, in its own
  // coordinates (Apply) or as the builder sits in frame (ApplyRelative).
  virtual HRESULT Apply(IDirect3DRMObject* object) = 0;
  virtual HRESULT ApplyRelative(IDirect3DRMFrame3* frame, IDirect3DRMObject* object) = 0;
};

class IDirect3DRMShadow2 : public IDirect3DRMVisual {
 public:
  virtual HRESULT GetVisual(IDirect3DRMVisual** visual) = 0;
  virtual HRESULT SetVisual(IUnknown* visual, DWORD flags) = 0;
  virtual HRESULT GetLight(IDirect3DRMLight** light) = 0;
  virtual HRESULT SetLight(IDirect3DRMLight* light, DWORD flags) = 0;
  virtual HRESULT GetPlane(D3DVALUE* px, D3DVALUE* py, D3DVALUE* pz, D3DVALUE* nx, D3DVALUE* ny,
                           D3DVALUE* nz) = 0;
  virtual HRESULT SetPlane(D3DVALUE px, D3DVALUE py, D3DVALUE pz, D3DVALUE nx, D3DVALUE ny, D3DVALUE nz,
                           DWORD flags) = 0;
  virtual HRESULT GetOptions(DWORD* options) = 0;
  virtual HRESULT SetOptions(DWORD options) = 0;
};

// The root object (IDirect3DRM); IDirect3DRM3 is its one full interface.
class IDirect3DRM : public IUnknown {};

class IDirect3DRM3 : public IDirect3DRM {
 public:
  virtual HRESULT CreateFrame(IDirect3DRMFrame3* parent, IDirect3DRMFrame3** frame) = 0;
  virtual HRESULT CreateMeshBuilder(IDirect3DRMMeshBuilder3** builder) = 0;
  virtual HRESULT CreateLight(D3DRMLIGHTTYPE type, D3DCOLOR color, IDirect3DRMLight** light) = 0;
  virtual HRESULT CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE r, D3DVALUE g, D3DVALUE b,
                                 IDirect3DRMLight** light) = 0;
  virtual HRESULT CreateMaterial(D3DVALUE power, IDirect3DRMMaterial2** material) = 0;
  // BMP, PPM/PGM or PNG, by content.
  virtual HRESULT LoadTexture(LPCSTR fileName, IDirect3DRMTexture3** texture) = 0;
  virtual HRESULT CreateTextureFromImage(const kv::image::Image& image, IDirect3DRMTexture3** texture) = 0;
  virtual HRESULT CreateWrap(D3DRMWRAPTYPE type, IDirect3DRMFrame3* ref, D3DVALUE ox, D3DVALUE oy, D3DVALUE oz,
                             D3DVALUE dx, D3DVALUE dy, D3DVALUE dz, D3DVALUE ux, D3DVALUE uy, D3DVALUE uz,
                             D3DVALUE ou, D3DVALUE ov, D3DVALUE su, D3DVALUE sv, IDirect3DRMWrap** wrap) = 0;
  virtual HRESULT CreateShadow(IUnknown* visual, IDirect3DRMLight* light, D3DVALUE px, D3DVALUE py, D3DVALUE pz,
                               D3DVALUE nx, D3DVALUE ny, D3DVALUE nz, IDirect3DRMShadow2** shadow) = 0;
  // D3DRMOPTIONS_LEFTHANDED (default) or D3DRMOPTIONS_RIGHTHANDED.
  virtual HRESULT SetOptions(DWORD options) = 0;
  virtual HRESULT GetOptions(DWORD* options) = 0;
  // A device drawing into the render target of a Direct3D device.
  virtual HRESULT CreateDeviceFromD3D(IDirect3D2* d3d, IDirect3DDevice2* d3dDevice, IDirect3DRMDevice3** device) = 0;
  // A viewport: the rectangle (x, y, width, height) of device seen from camera.
  virtual HRESULT CreateViewport(IDirect3DRMDevice3* device, IDirect3DRMFrame3* camera, DWORD x, DWORD y,
                                 DWORD width, DWORD height, IDirect3DRMViewport2** viewport) = 0;
};

// Creates an independent root object (one reference for the caller).
HRESULT Direct3DRMCreate(IDirect3DRM** root);

// Vector helpers, D3DRM's free functions. Each returns its first argument.
D3DVECTOR* D3DRMVectorAdd(D3DVECTOR* d, const D3DVECTOR* s1, const D3DVECTOR* s2);
D3DVECTOR* D3DRMVectorSubtract(D3DVECTOR* d, const D3DVECTOR* s1, const D3DVECTOR* s2);
D3DVECTOR* D3DRMVectorScale(D3DVECTOR* d, const D3DVECTOR* s, D3DVALUE factor);
D3DVECTOR* D3DRMVectorCrossProduct(D3DVECTOR* d, const D3DVECTOR* s1, const D3DVECTOR* s2);
D3DVALUE D3DRMVectorDotProduct(const D3DVECTOR* s1, const D3DVECTOR* s2);
D3DVALUE D3DRMVectorModulus(const D3DVECTOR* v);
// A zero vector normalises to (1, 0, 0).
D3DVECTOR* D3DRMVectorNormalize(D3DVECTOR* v);
// 2 (n . ray) n - ray, with n as given.
D3DVECTOR* D3DRMVectorReflect(D3DVECTOR* d, const D3DVECTOR* ray, const D3DVECTOR* normal);
// v turned by theta radians about axis (positive: +x towards +y about +z),
// returned at unit length.
D3DVECTOR* D3DRMVectorRotate(D3DVECTOR* d, const D3DVECTOR* v, const D3DVECTOR* axis, D3DVALUE theta);
D3DRMQUATERNION* D3DRMQuaternionFromRotation(D3DRMQUATERNION* q, const D3DVECTOR* axis, D3DVALUE theta);
D3DRMQUATERNION* D3DRMQuaternionMultiply(D3DRMQUATERNION* q, const D3DRMQUATERNION* a, const D3DRMQUATERNION* b);
void D3DRMMatrixFromQuaternion(D3DRMMATRIX4D m, const D3DRMQUATERNION* q);

}  // namespace kv
