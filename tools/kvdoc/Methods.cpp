// The public methods and functions the reference lists, one line each.
// KVDOC_METHOD names the method to the compiler (a class that lost or
// renamed it no longer builds kvdoc); KVDOC_FUNCTION does the same for a
// function of namespace kv. The signature text is what the reader sees.
//
// Only the umbrella header is included: what the reference lists is what
// `#include <korvane3d/Korvane3D.h>` gives an application.
#include "Descriptions.h"
#include "korvane3d/Korvane3D.h"

#define KVDOC_METHOD(Class, Name, Signature, Text)     \
  ([] {                                                \
    struct Check : ::kv::Class {                       \
      using ::kv::Class::Name;                         \
    };                                                 \
    return MethodDoc{#Class, #Name, Signature, Text}; \
  }())

#define KVDOC_FUNCTION(Name, Signature, Text)   \
  ([] {                                         \
    using ::kv::Name;                           \
    return FunctionDoc{#Name, Signature, Text}; \
  }())

namespace kvdoc {

const std::vector<MethodDoc>& Methods() {
  static const std::vector<MethodDoc> methods = {
      // ---- TComponent
      KVDOC_METHOD(TComponent, Owner, "TComponent* Owner() const", "The component that owns this one and frees it; null for none."),
      KVDOC_METHOD(TComponent, ComponentCount, "int ComponentCount() const", "How many components this one owns."),
      KVDOC_METHOD(TComponent, Components, "TComponent* Components(int index) const", "The owned component at `index` (creation order), null outside the range."),
      KVDOC_METHOD(TComponent, FindComponent, "TComponent* FindComponent(std::string_view name) const", "The owned component with this name (any case), or null."),
      KVDOC_METHOD(TComponent, FormFolder, "std::string FormFolder() const", "The folder of the form file this component (or the nearest owner) was read from, where relative file names in the form are also looked for; empty for components made in code. `SetFormFolder` sets it."),
      KVDOC_METHOD(TComponent, RegisterMethod, "void RegisterMethod(std::string name, F&& handler)", "Registers a handler under a name, so that a form read into this component (or into one it owns) can bind an event to it by that name. The handler's parameters must be the event's."),
      // ---- TControl
      KVDOC_METHOD(TControl, SetParent, "bool SetParent(TWinControl* parent)", "Places the control inside `parent` (a form, say); false when that would put it inside itself."),
      KVDOC_METHOD(TControl, SetBounds, "void SetBounds(int left, int top, int width, int height)", "Moves and sizes the control in one call."),
      KVDOC_METHOD(TControl, SetAlign, "void SetAlign(TAlign align)", "How the control fills its parent: `alClient` takes the whole client area."),
      KVDOC_METHOD(TControl, Show, "void Show()", "Makes the control (a form: its window) visible."),
      KVDOC_METHOD(TControl, Hide, "void Hide()", "Hides it."),
      // ---- TKV3DView
      KVDOC_METHOD(TKV3DView, WaitUntilReady, "bool WaitUntilReady(std::chrono::milliseconds timeout = 10 s)", "Serves the main thread until the view's device chain is built (call it after showing the form), then says whether the view can draw; false when the time runs out first."),
      KVDOC_METHOD(TKV3DView, SaveFrameToPNG, "bool SaveFrameToPNG(const std::string& fileName)", "Writes the last frame the view drew (the screen in full screen) as a PNG file; false, with the reason in `LastErrorText()`, before the first frame or when the file cannot be written."),
      KVDOC_METHOD(TKV3DView, Render, "bool Render()", "Draws one frame on the calling thread: collision check and `OnFlip`, moving the scene by `RenderDelta`, drawing and presenting. Returns false when the frame was presented, true when it was not."),
      KVDOC_METHOD(TKV3DView, Update3D, "void Update3D()", "Moves the scene one unit of time and draws it into the back surface, without events and without presenting it."),
      KVDOC_METHOD(TKV3DView, GenPick, "void GenPick(int x, int y)", "Picks at a point of the view's client area: fills `PickedList` with the objects under it, nearest first, then tells each object (`OnFramePicked`) and fires `OnPicked` once per object with its layer."),
      KVDOC_METHOD(TKV3DView, PickedList, "std::vector<TKV3DObject*> PickedList() const", "The objects of the last pick that still exist; an object's index is its layer."),
      KVDOC_METHOD(TKV3DView, CollisionChecking, "void CollisionChecking()", "Tests every pair of objects (owned by the view's parent) whose `CheckCollision` is on and fires `OnCollision` on both objects of each pair whose boxes touch. The view runs it before each frame while `AutoCheckCollision` is on."),
      KVDOC_METHOD(TKV3DView, SetFullScreen, "void SetFullScreen(bool value)", "Asks for full-screen operation in `DisplayMode`, or for a window again; the device chain is rebuilt for it."),
      KVDOC_METHOD(TKV3DView, FullScreen, "bool FullScreen() const", "Whether the current device chain was built for full screen."),
      KVDOC_METHOD(TKV3DView, GetDisplayMode, "std::string GetDisplayMode() const", "The text of `DisplayMode`, such as `\"640x480x16\"`."),
      KVDOC_METHOD(TKV3DView, DisplayModeStr, "bool DisplayModeStr(const std::string& text)", "Sets `DisplayMode` from its text (`\"800x600x32\"`); false for a text that names no mode."),
      KVDOC_METHOD(TKV3DView, CheckDisplayModeValid, "bool CheckDisplayModeValid(const std::string& text)", "Whether the display offers this mode."),
      KVDOC_METHOD(TKV3DView, AvailableDisplayModes, "std::vector<std::string> AvailableDisplayModes() const", "The texts of the modes the display offers, by width, height and depth."),
      KVDOC_METHOD(TKV3DView, AddToStorage, "void AddToStorage(TObjectStorage kind)", "Creates a new `TKV3DFrame` owned by the view (for the kinds 0 to 4)."),
      KVDOC_METHOD(TKV3DView, DeleteFromStorage, "void DeleteFromStorage(TKV3DFrame* frame) / (const std::string& name)", "Frees the frame the view owns that is this one, or that has this name."),
      KVDOC_METHOD(TKV3DView, ClearStorage, "void ClearStorage()", "Frees every component the view owns."),
      KVDOC_METHOD(TKV3DView, WriteStorage, "bool WriteStorage()", "Writes the view, with the components it owns, as a form file named by `StorageFileName`; does nothing without a name. False when the file cannot be written."),
      KVDOC_METHOD(TKV3DView, ReadStorage, "bool ReadStorage()", "Reads the form file named by `StorageFileName` back into the view: components it owns under a name in the file are read into, others are created. Frames end where the file puts them, also where it leaves their parent, place, orientation, spin or velocity out at the default. Does nothing without a name; false, with every component as it was, when the file cannot be read."),
      KVDOC_METHOD(TKV3DView, GetIDirect3DRMViewport2, "IDirect3DRMViewport2* GetIDirect3DRMViewport2() const", "The engine viewport the view draws through (null until the device chain is built)."),
      KVDOC_METHOD(TKV3DView, GetIDirect3DRMDevice3, "IDirect3DRMDevice3* GetIDirect3DRMDevice3() const", "The engine device the view draws with (null until the device chain is built)."),
      // ---- TKV3DCustomFrame
      KVDOC_METHOD(TKV3DCustomFrame, GetRefPosition, "std::unique_ptr<TKV3DPosition> GetRefPosition(TKV3DCustomFrame* ref)", "The position relative to another frame, as a detached object the caller owns; null when either frame has no engine frame. `GetRefRotation`, `GetRefVelocity` and `GetRefOrientation` do the same for the other placements."),
      KVDOC_METHOD(TKV3DCustomFrame, SetRefPosition, "void SetRefPosition(TKV3DCustomFrame* ref, TKV3DPosition* value)", "Sets the position relative to another frame. `SetRefRotation`, `SetRefVelocity` and `SetRefOrientation` do the same for the other placements."),
      KVDOC_METHOD(TKV3DCustomFrame, SetDirOrientation, "void SetDirOrientation(const D3DVECTOR& dir, const D3DVECTOR& up)", "Points the frame: its z axis along `dir`, its y axis towards `up`, both in the parent's coordinates."),
      KVDOC_METHOD(TKV3DCustomFrame, RotAlpha, "void RotAlpha(int32_t degrees)", "Turns the frame once by whole degrees about its own lateral (x) axis; stops any spin."),
      KVDOC_METHOD(TKV3DCustomFrame, RotBetha, "void RotBetha(int32_t degrees)", "Turns it once about its own up (y) axis; stops any spin."),
      KVDOC_METHOD(TKV3DCustomFrame, RotGamma, "void RotGamma(int32_t degrees)", "Turns it once about its own direction (z) axis; stops any spin."),
      KVDOC_METHOD(TKV3DCustomFrame, Clone, "TKV3DFrame* Clone()", "A new plain frame with this one's owner, parent, placement and colour (owned by the owner; without an owner the caller frees it). An object's and a light's `Clone` make an object or a light."),
      KVDOC_METHOD(TKV3DCustomFrame, AddToNotify, "void AddToNotify(TKV3DCustomFrame* frame)", "Links two frames, so that each is told when the other is freed."),
      KVDOC_METHOD(TKV3DCustomFrame, GetIDirect3DRMFrame3, "IDirect3DRMFrame3* GetIDirect3DRMFrame3() const", "The component's engine frame."),
      // ---- TKV3DObject
      KVDOC_METHOD(TKV3DObject, Clone, "TKV3DObject* Clone()", "A new object with this one's owner, parent, placement, mesh and appearance."),
      KVDOC_METHOD(TKV3DObject, BoxMin, "const D3DVECTOR& BoxMin() const", "The lower corner of the mesh's bounding box in the object's own coordinates (`BoxMax` the upper); collision checking uses it."),
      KVDOC_METHOD(TKV3DObject, Collision, "void Collision(TObject* sender, TObject* collisionObject)", "Reports a collision to the object: fires `OnCollision` with the same arguments."),
      // ---- TKV3DLight
      KVDOC_METHOD(TKV3DLight, Clone, "TKV3DLight* Clone()", "A new light with this one's owner, parent, placement and light settings."),
      KVDOC_METHOD(TKV3DLight, GetIDirect3DLight, "IDirect3DRMLight* GetIDirect3DLight() const", "The engine light."),
      // ---- TKV3DMesh
      KVDOC_METHOD(TKV3DMesh, ChangeShape, "void ChangeShape()", "Rebuilds the geometry from `ActiveShape` (reloading the file for `stFile`)."),
      KVDOC_METHOD(TKV3DMesh, VertexCount, "uint32_t VertexCount() const", "Vertices of the geometry as last rebuilt (`NormalCount`, `FaceDataSize` likewise)."),
      KVDOC_METHOD(TKV3DMesh, Vertices, "std::span<const D3DVECTOR> Vertices() const", "The vertices as last rebuilt (`Normals` and `FaceData` likewise; face data: per face its corner count, then a vertex and a normal index per corner, and a final 0)."),
      KVDOC_METHOD(TKV3DMesh, GetVertexXYZ, "D3DVECTOR GetVertexXYZ(uint32_t index) const", "One vertex of the engine's mesh; (0, 0, 0) outside the mesh. `GetVertexX`, `GetVertexY`, `GetVertexZ` read one coordinate."),
      KVDOC_METHOD(TKV3DMesh, SetVertexXYZ, "bool SetVertexXYZ(uint32_t index, float x, float y, float z)", "Moves one vertex of the engine's mesh; false outside the mesh. `SetVertexX`, `SetVertexY`, `SetVertexZ` set one coordinate."),
      KVDOC_METHOD(TKV3DMesh, AddFace, "bool AddFace(const TKV3DFace* face)", "Adds a set of faces to the mesh."),
      KVDOC_METHOD(TKV3DMesh, SetFace, "bool SetFace(const TKV3DFace* face)", "Replaces the whole geometry by a set of faces."),
      KVDOC_METHOD(TKV3DMesh, DeleteFace, "bool DeleteFace(uint32_t index)", "Removes one face; false for an index outside the mesh."),
      KVDOC_METHOD(TKV3DMesh, GetFace, "bool GetFace(uint32_t index, std::unique_ptr<TKV3DFace>& face) const", "One face as a set of its own (its vertices and normals copied); returns false when it made one, true when it could not."),
      KVDOC_METHOD(TKV3DMesh, SearchFace, "std::span<const uint32_t> SearchFace(uint32_t index) const", "The face data of one face (empty when there is none)."),
      KVDOC_METHOD(TKV3DMesh, GetIDirect3DMeshBuilder, "IDirect3DRMMeshBuilder3* GetIDirect3DMeshBuilder() const", "The engine mesh builder; null while the mesh has no faces."),
      // ---- TKV3DFile
      KVDOC_METHOD(TKV3DFile, LoadFromFile, "void LoadFromFile(const std::string& name)", "Loads the geometry from a mesh file (looked up as `FileName` is) and sets `Format` to its encoding."),
      KVDOC_METHOD(TKV3DFile, SaveToFile, "bool SaveToFile(const std::string& name) const", "Saves the current geometry as a mesh file in `Format`; false when it cannot be written."),
      KVDOC_METHOD(TKV3DFile, GetFileFormat, "static TFileFormat GetFileFormat(const std::string& name)", "The encoding of a mesh file, from its header."),
      // ---- TKVIInputDevice
      KVDOC_METHOD(TKVIInputDevice, SetActive, "void SetActive(bool value)", "Creates (true) or releases (false) the input device; `Active()` reads it."),
      KVDOC_METHOD(TKVIInputDevice, SetAutoCheck, "void SetAutoCheck(bool value)", "Starts or stops a polling thread that reads the device all the time and fires the events on the main thread; `AutoCheck()` reads it."),
      KVDOC_METHOD(TKVIInputDevice, SetFocusControl, "void SetFocusControl()", "Binds the device to the owner's window and acquires it (the keyboard does this itself when it is made active; call it for the mouse once the form's window exists)."),
      KVDOC_METHOD(TKVIInputDevice, CheckChange, "bool CheckChange()", "Reads the device once and fires the events of what it read."),
      // ---- TKVIMouse
      KVDOC_METHOD(TKVIMouse, Tick, "void Tick(TObject* sender)", "One read, shaped as a notify handler for a timer; a change fires `OnChange` once more."),
      KVDOC_METHOD(TKVIMouse, CursorX, "LONG CursorX() const", "The cursor position the mouse keeps, within the screen (`CursorY` likewise)."),
      // ---- TKVIKeyboard
      KVDOC_METHOD(TKVIKeyboard, Tick, "void Tick(TObject* sender)", "One read, shaped as a notify handler for a timer; a successful read fires its events a second time."),
      KVDOC_METHOD(TKVIKeyboard, IsKeyPressed, "bool IsKeyPressed(BYTE key) const", "Whether the key (a scan code, `DIK_...`) was down at the last immediate read (`Buffered` false)."),
      // ---- TForm
      KVDOC_METHOD(TForm, Close, "void Close()", "Closes the form once `OnClose` agrees; closing the main form ends `Application().Run()`."),
      // ---- TApplication
      KVDOC_METHOD(TApplication, Run, "void Run()", "Serves windows, timers and the components' main-thread work until `Terminate` or until the main form closes."),
      KVDOC_METHOD(TApplication, ProcessMessages, "void ProcessMessages()", "Serves what is pending now, then returns."),
      KVDOC_METHOD(TApplication, Terminate, "void Terminate()", "Makes `Run` return."),
      KVDOC_METHOD(TApplication, MainForm, "TForm* MainForm() const", "The main form: the first form created unless set with `SetMainForm`."),
      // ---- TKV3DFace
      KVDOC_METHOD(TKV3DFace, FaceCount, "uint32_t FaceCount() const", "Faces in the set. The constructor takes the vertices, the normals and the face data (copied)."),
      KVDOC_METHOD(TKV3DFace, IsWellFormed, "bool IsWellFormed() const", "Whether the face data is a list of faces of at least three corners whose indices lie inside the set's arrays, ending with 0; only such a set can go into a mesh."),
      // ---- TKV3DVertex
      KVDOC_METHOD(TKV3DVertex, GetX, "float GetX()", "Reads the vertex's x from its mesh (`GetY`, `GetZ` likewise). A vertex is made with `TKV3DVertex(mesh, index)`."),
      KVDOC_METHOD(TKV3DVertex, SetX, "bool SetX(float value)", "Moves the vertex in its mesh along x (`SetY`, `SetZ` likewise)."),
  };
  return methods;
}

const std::vector<FunctionDoc>& Functions() {
  static const std::vector<FunctionDoc> functions = {
      KVDOC_FUNCTION(Register, "void Register()", "Registers the package's component classes, so that form files can name them. Call it first, before reading any form."),
      KVDOC_FUNCTION(Application, "TApplication& Application()", "The application object (the main thread's loop)."),
      KVDOC_FUNCTION(ReadComponentResFile, "bool ReadComponentResFile(const std::string& fileName, TComponent* instance)", "Reads a form file into an existing root (a `TForm`): creates the components it names and sets their properties. False with the last error (file, line, property) on failure, nothing half-built left. An overload without `instance` creates the root from the file's class."),
      KVDOC_FUNCTION(WriteComponentResFile, "bool WriteComponentResFile(const std::string& fileName, TComponent* component)", "Writes a component and everything it owns as a form file."),
      KVDOC_FUNCTION(ReadComponentText, "bool ReadComponentText(std::string_view text, const std::string& source, TComponent* instance)", "The same as `ReadComponentResFile` on text in memory; `source` names it in messages."),
      KVDOC_FUNCTION(WriteComponentText, "bool WriteComponentText(TComponent* component, std::string& text)", "The same as `WriteComponentResFile` into a string."),
      KVDOC_FUNCTION(LastErrorText, "const std::string& LastErrorText()", "The message of the last failure a call reported with false or null."),
      KVDOC_FUNCTION(LocateFile, "std::string LocateFile(const std::string& name)", "Where a data file named by a property is found: the name itself, else (for a bare name) the current folder and the program's folder; empty when not found."),
      KVDOC_FUNCTION(LocateDataFile, "std::string LocateDataFile(const std::string& name, const TComponent* component)", "Where a file that a property of `component` names is found: as `LocateFile`, then, for a relative name, in the folder of the form file the component was read from; empty when not found."),
      KVDOC_FUNCTION(SetFileReportHandler, "FileReportHandler SetFileReportHandler(FileReportHandler handler)", "Where reports of files named by properties that cannot be found or read go (a function taking the text, such as `Ball: texture file \"x.png\" not found`): stderr until set, nowhere with an empty handler. Returns the previous handler."),
      KVDOC_FUNCTION(platform::SelectBackend, "BackendKind platform::SelectBackend(BackendKind kind)", "Chooses windows on screen (`Sdl`), off screen (`Headless`) or by the environment (`Auto`: a display and no `KV_BACKEND=headless`). Call it before creating forms."),
  };
  return functions;
}

}  // namespace kvdoc
