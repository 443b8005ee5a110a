// The window part of a window context (GlContext.h), shared by the files
// that make and present it (GlWindowContext.cpp) and that move its images
// between GL and surface memory (GlWindowPicture.cpp). Internal to them.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "korvane3d/platform/ddraw/GlContext.h"
#include "korvane3d/platform/ddraw/GlPlacement.h"

namespace kv::ddraw {

// One image a window context keeps: a framebuffer object with its colour
// texture, rows top first, and how often it changed.
struct GlImage {
  GLuint framebuffer = 0, texture = 0;
  int width = 0, height = 0;
  std::uint64_t generation = 0;
};

struct GlContext::Window {
  HWND view = nullptr;
  HWND topLevel = nullptr;  // whose presenter this context is
  bool fullScreen = false;  // shows the frame a flip showed over the whole client area
  SDL_Window* sdl = nullptr;
  SDL_GLContext gl = nullptr;
  GLuint formTexture = 0, formFramebuffer = 0;  // the window framebuffer's pixels, for drawing
  int formWidth = 0, formHeight = 0;
  std::vector<std::uint32_t> formUploaded;  // what formTexture holds

  std::mutex pictureMutex;  // the images' records; taken after use_
  GlImage drawn;            // the device's: its framebuffer object
  GlImage shown;            // full screen: the context's own copy of the picture at the last flip

  GlImage& Of(Image image) { return image == Image::Shown ? shown : drawn; }
  // What the window shows over the view's part.
  const GlImage& OnScreen() const { return fullScreen ? shown : drawn; }
  // The part of the view's client area image covers, in its top-level
  // window's client pixels: the picture at its size, clipped to the client
  // area; full screen, the whole client area (the picture stretched over it).
  RECT ShownArea(const GlImage& image) const;

  // With the context current: the window framebuffer's pixels into formTexture.
  void UploadForm(const std::uint32_t* pixels, int width, int height);
  ~Window();
};

HWND TopLevelOf(HWND window);
// Where window's client area starts inside its top-level window's client area.
POINT OriginInTopLevel(HWND window);

}  // namespace kv::ddraw
