#pragma once
// The main window: one SDL window captioned "Zentrak".
struct SDL_Window;

// Creates the main window at (0, 0), 1280 by 1024 (resized later from the preferences);
// windowed: caption with close and minimise, no resizing; else a borderless full-screen
// window. Failure ends the program through FatalWindowsError("CreateWindow").
SDL_Window* CreateMainWindow(bool windowed);
// Gives the window its client size (windowed mode), keeping its position.
void ResizeMainWindow(SDL_Window* window, int width, int height);
void DestroyMainWindow(SDL_Window* window);
