#include "platform/sdl/imgui_renderer.h"

#include <SDL.h>
#include <imgui.h>

#include <cstddef>

bool imgui_renderer_init(SDL_Renderer* renderer) {
    ImGuiIO& io = ImGui::GetIO();
    io.BackendRendererName = "tamo_sdl_renderer";
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888,
                                             SDL_TEXTUREACCESS_STATIC, width, height);
    if (!texture) return false;
    SDL_UpdateTexture(texture, nullptr, pixels, width * 4);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    io.Fonts->SetTexID(texture);
    return true;
}

void imgui_renderer_shutdown() {
    ImGuiIO& io = ImGui::GetIO();
    if (io.Fonts->TexID) SDL_DestroyTexture(static_cast<SDL_Texture*>(io.Fonts->TexID));
    io.Fonts->SetTexID(nullptr);
}

void imgui_renderer_draw(SDL_Renderer* renderer, ImDrawData* data) {
    int output_width = 0, output_height = 0;
    SDL_GetRendererOutputSize(renderer, &output_width, &output_height);
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
    SDL_GetRenderDrawBlendMode(renderer, &blend);
    for (int n = 0; n < data->CmdListsCount; ++n) {
        const ImDrawList* list = data->CmdLists[n];
        const ImDrawVert* vertices = list->VtxBuffer.Data;
        const ImDrawIdx* indices = list->IdxBuffer.Data;
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback) {
                cmd.UserCallback(list, &cmd);
                continue;
            }
            ImVec2 origin = data->DisplayPos;
            float x0 = cmd.ClipRect.x - origin.x, y0 = cmd.ClipRect.y - origin.y;
            float x1 = cmd.ClipRect.z - origin.x, y1 = cmd.ClipRect.w - origin.y;
            if (x0 < 0) x0 = 0;
            if (y0 < 0) y0 = 0;
            if (x1 > output_width) x1 = float(output_width);
            if (y1 > output_height) y1 = float(output_height);
            if (x1 <= x0 || y1 <= y0) continue;
            SDL_Rect clip{int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
            SDL_RenderSetClipRect(renderer, &clip);
            const ImDrawVert* first = vertices + cmd.VtxOffset;
            // ImGui's packed colour is R, G, B, A in memory, as SDL_Color.
            SDL_RenderGeometryRaw(
                renderer, static_cast<SDL_Texture*>(cmd.GetTexID()),
                reinterpret_cast<const float*>(reinterpret_cast<const char*>(first) +
                                               offsetof(ImDrawVert, pos)),
                sizeof(ImDrawVert),
                reinterpret_cast<const SDL_Color*>(reinterpret_cast<const char*>(first) +
                                                   offsetof(ImDrawVert, col)),
                sizeof(ImDrawVert),
                reinterpret_cast<const float*>(reinterpret_cast<const char*>(first) +
                                               offsetof(ImDrawVert, uv)),
                sizeof(ImDrawVert), list->VtxBuffer.Size - int(cmd.VtxOffset),
                indices + cmd.IdxOffset, int(cmd.ElemCount), sizeof(ImDrawIdx));
        }
    }
    SDL_RenderSetClipRect(renderer, nullptr);
    SDL_SetRenderDrawBlendMode(renderer, blend);
}
