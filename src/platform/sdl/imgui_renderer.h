// Draws Dear ImGui's frames with an SDL_Renderer. The imgui package builds no SDL_Renderer
// back end into its library, and SDL's geometry call does the whole job in a few lines.
#pragma once

struct SDL_Renderer;
struct ImDrawData;

// Creates the font texture of the current ImGui context on `renderer`. False when SDL cannot.
bool imgui_renderer_init(SDL_Renderer* renderer);
// Frees the current context's font texture.
void imgui_renderer_shutdown();
// Draws the current context's finished frame.
void imgui_renderer_draw(SDL_Renderer* renderer, ImDrawData* data);
