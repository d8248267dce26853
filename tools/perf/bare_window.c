/* The least a program can do to show an OpenGL picture with SDL2: the yardstick the
 * game's start to its first frame is held against. Opens a 3.3 core window of the given
 * size, clears it once, presents it, waits for the picture to be done and prints
 * "first frame": the caller times the process from its start to that line.
 *
 *   bare_window [WIDTH HEIGHT] */
#include <SDL.h>
#include <epoxy/gl.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  const int width = argc > 2 ? atoi(argv[1]) : 1280;
  const int height = argc > 2 ? atoi(argv[2]) : 1024;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (!window) {
    fprintf(stderr, "SDL_CreateWindow: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    fprintf(stderr, "SDL_GL_CreateContext: %s\n", SDL_GetError());
    return 1;
  }
  glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(window);
  glFinish();
  printf("first frame\n");
  fflush(stdout);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
