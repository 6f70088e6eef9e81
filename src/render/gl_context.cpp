#include "render/gl_context.h"

#include <SDL2/SDL.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstring>

#include "render/backend.h"
#include "support/debug.h"

static SDL_Window *window = nullptr;
static SDL_GLContext sdl_context = nullptr;
static EGLDisplay egl_display = EGL_NO_DISPLAY;
static EGLContext egl_context = EGL_NO_CONTEXT;
static EGLSurface egl_surface = EGL_NO_SURFACE;

static const int HEADLESS_DISPLAY_W = 1920, HEADLESS_DISPLAY_H = 1080;
static const int versions[][2] = {{4, 5}, {3, 3}};

static bool has_extension(const char *list, const char *name)
{
  if (!list)
    return false;
  size_t n = strlen(name);
  for (const char *p = list; (p = strstr(p, name)) != nullptr; p += n)
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == 0))
      return true;
  return false;
}

static EGLDisplay open_egl_display()
{
  const char *client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  // Surfaceless first: it needs neither a display server nor a render node.
  if (has_extension(client, "EGL_MESA_platform_surfaceless"))
  {
    EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (d != EGL_NO_DISPLAY)
    {
      EGLint major, minor;
      if (eglInitialize(d, &major, &minor))
        return d;
    }
  }
  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  EGLint major, minor;
  if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor))
    return d;
  return EGL_NO_DISPLAY;
}

static bool create_headless()
{
  if (egl_display == EGL_NO_DISPLAY)
    egl_display = open_egl_display();
  if (egl_display == EGL_NO_DISPLAY)
  {
    debug("headless: no EGL display (error 0x%X)", eglGetError());
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API))
  {
    debug("headless: EGL has no desktop OpenGL");
    return false;
  }
  bool surfaceless = has_extension(eglQueryString(egl_display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context");
  const EGLint config_attrs[] = {EGL_SURFACE_TYPE, surfaceless ? 0 : EGL_PBUFFER_BIT,
                                 EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(egl_display, config_attrs, &config, 1, &count) || count < 1)
  {
    debug("headless: no EGL config for OpenGL");
    return false;
  }
  for (const auto &v : versions)
  {
    const EGLint ctx_attrs[] = {EGL_CONTEXT_MAJOR_VERSION, v[0], EGL_CONTEXT_MINOR_VERSION, v[1],
                                EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                EGL_NONE};
    egl_context = eglCreateContext(egl_display, config, EGL_NO_CONTEXT, ctx_attrs);
    if (egl_context != EGL_NO_CONTEXT)
      break;
  }
  if (egl_context == EGL_NO_CONTEXT)
  {
    debug("headless: can't create an OpenGL 3.3 core context (error 0x%X)", eglGetError());
    return false;
  }
  if (!surfaceless)
  {
    const EGLint pb_attrs[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    egl_surface = eglCreatePbufferSurface(egl_display, config, pb_attrs);
  }
  if (!eglMakeCurrent(egl_display, egl_surface, egl_surface, egl_context))
  {
    debug("headless: eglMakeCurrent failed (error 0x%X)", eglGetError());
    return false;
  }
  return true;
}

static bool create_windowed(SDL_Window *w)
{
  window = w;
  for (const auto &v : versions)
  {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, v[0]);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, v[1]);
    sdl_context = SDL_GL_CreateContext(window);
    if (sdl_context)
      break;
  }
  if (!sdl_context)
  {
    debug("can't create an OpenGL 3.3 core context: %s", SDL_GetError());
    return false;
  }
  SDL_GL_MakeCurrent(window, sdl_context);
  return true;
}

bool gl_context_create(void *sdl_window)
{
  gl_context_destroy();
  bool ok = sdl_window ? create_windowed(static_cast<SDL_Window *>(sdl_window)) : create_headless();
  if (!ok)
  {
    gl_context_destroy();
    return false;
  }
  debug("OpenGL %s (%s)", (const char *)glGetString(GL_VERSION), (const char *)glGetString(GL_RENDERER));
  return true;
}

void gl_context_destroy()
{
  if (sdl_context)
    SDL_GL_DeleteContext(sdl_context);
  sdl_context = nullptr;
  window = nullptr;
  if (egl_display != EGL_NO_DISPLAY)
  {
    eglMakeCurrent(egl_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (egl_surface != EGL_NO_SURFACE)
      eglDestroySurface(egl_display, egl_surface);
    if (egl_context != EGL_NO_CONTEXT)
      eglDestroyContext(egl_display, egl_context);
    // The display stays initialised for the process (EGL displays are per process, and
    // terminating one unloads the driver, whose allocations then read as anonymous leaks).
  }
  egl_context = EGL_NO_CONTEXT;
  egl_surface = EGL_NO_SURFACE;
}

bool gl_context_is_headless() { return egl_context != EGL_NO_CONTEXT; }

void gl_context_swap()
{
  if (window)
    SDL_GL_SwapWindow(window);
}

void gl_context_set_vsync(bool on)
{
  if (window)
    SDL_GL_SetSwapInterval(on ? 1 : 0);
}

bool gl_context_display_mode(DisplayMode &mode)
{
  mode.format = D3DFMT_X8R8G8B8;
  SDL_DisplayMode dm;
  int index = window ? SDL_GetWindowDisplayIndex(window) : 0;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(index < 0 ? 0 : index, &dm) == 0)
  {
    mode.width = dm.w;
    mode.height = dm.h;
    return true;
  }
  mode.width = HEADLESS_DISPLAY_W;
  mode.height = HEADLESS_DISPLAY_H;
  return true;
}
