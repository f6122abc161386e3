// Draws a contact sheet of a campaign with the game's own tiles: one row of
// levels per chapter of 12, each labelled with its number, name and pushes
// (from the solutions file). Outside the walls stays background.
//
// usage: boxtolo_sheet LEVELFILE SOLUTIONS TILES.PNG FONT.TTF OUT.PNG
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file.h"
#include "levelkit.h"

namespace {

constexpr int cell = 14;          // pixels per level cell on the sheet
constexpr int perRow = 12;
constexpr int panelW = 19 * cell + 16;
constexpr int labelH = 38;
constexpr int panelH = 11 * cell + labelH + 12;
constexpr int margin = 12;

// Where the pictures lie in tiles.png, as the game has them.
struct Picture {
    int column, row;
};
constexpr Picture wallPicture{7, 6}, floorPicture{12, 6}, playerPicture{0, 4}, cratePicture{3, 0},
    crateDonePicture{3, 1}, targetPicture{12, 3};

void draw(SDL_Renderer* renderer, SDL_Texture* tiles, Picture p, int x, int y) {
    SDL_Rect from{p.column * 64, p.row * 64, 64, 64};
    SDL_Rect to{x, y, cell, cell};
    SDL_RenderCopy(renderer, tiles, &from, &to);
}

void text(SDL_Renderer* renderer, TTF_Font* font, const std::string& s, int x, int y) {
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font, s.c_str(), SDL_Color{255, 255, 255, 255});
    if (surface == nullptr) {
        return;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_Rect to{x, y, surface->w, surface->h};
    SDL_RenderCopy(renderer, texture, nullptr, &to);
    SDL_DestroyTexture(texture);
    SDL_FreeSurface(surface);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s LEVELFILE SOLUTIONS TILES.PNG FONT.TTF OUT.PNG\n", argv[0]);
        return 2;
    }
    LoadLevelResult loaded = loadLevel(argv[1]);
    if (loaded.result != loadOk) {
        std::fprintf(stderr, "%s: load code %d\n", argv[1], loaded.result);
        return 2;
    }
    std::vector<int> pushes;
    std::ifstream in(argv[2]);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') {
            std::stringstream fields(line);
            std::string name, count;
            std::getline(fields, name, '\t');
            std::getline(fields, count, '\t');
            pushes.push_back(std::atoi(count.c_str()));
        }
    }
    int count = 0;
    for (const Level* l = loaded.level; l != nullptr; l = l->next) {
        count++;
    }
    int rows = (count + perRow - 1) / perRow;
    int width = margin * 2 + perRow * panelW, height = margin * 2 + rows * panelH;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_Surface* sheet = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(sheet);
    SDL_Texture* tiles = IMG_LoadTexture(renderer, argv[3]);
    TTF_Init();
    TTF_Font* font = TTF_OpenFont(argv[4], 13);
    if (sheet == nullptr || renderer == nullptr || tiles == nullptr || font == nullptr) {
        std::fprintf(stderr, "cannot draw: %s\n", SDL_GetError());
        return 1;
    }
    SDL_SetTextureScaleMode(tiles, SDL_ScaleModeLinear);
    SDL_SetRenderDrawColor(renderer, 40, 44, 54, 255);
    SDL_RenderClear(renderer);
    int index = 0;
    for (const Level* level = loaded.level; level != nullptr; level = level->next, index++) {
        int px = margin + (index % perRow) * panelW, py = margin + (index / perRow) * panelH;
        levelkit::Board board;
        bool ok = levelkit::boardFromLevel(level, &board);
        int ox = px + 8 + (19 - level->size.x) * cell / 2, oy = py + 4 + (11 - level->size.y) * cell / 2;
        for (int y = 0; y < level->size.y; y++) {
            for (int x = 0; x < level->size.x; x++) {
                int bcell = (y + 1) * board.width + x + 1;
                TileState t = level->tiles[y * level->size.x + x];
                int cx = ox + x * cell, cy = oy + y * cell;
                bool inside = ok && !board.wall[static_cast<size_t>(bcell)];
                if (t == wallS) {
                    draw(renderer, tiles, wallPicture, cx, cy);
                    continue;
                }
                if (!inside) {
                    continue;  // outside the walls: background
                }
                draw(renderer, tiles, floorPicture, cx, cy);
                SDL_SetTextureBlendMode(tiles, SDL_BLENDMODE_BLEND);
                if (t == targetS || t == playerOnTargetS) {
                    draw(renderer, tiles, targetPicture, cx, cy);
                }
                if (t == crateS) {
                    draw(renderer, tiles, cratePicture, cx, cy);
                }
                if (t == crateOnTargetS) {
                    draw(renderer, tiles, crateDonePicture, cx, cy);
                }
                if (t == playerS || t == playerOnTargetS) {
                    draw(renderer, tiles, playerPicture, cx, cy);
                }
            }
        }
        std::string label = std::to_string(index + 1) + ". " + level->name;
        std::string count = index < static_cast<int>(pushes.size()) ? std::to_string(pushes[static_cast<size_t>(index)]) + " tolás" : "";
        text(renderer, font, label, px + 8, py + 11 * cell + 8);
        text(renderer, font, count, px + 8, py + 11 * cell + 24);
    }
    SDL_RenderPresent(renderer);
    int result = IMG_SavePNG(sheet, argv[5]) == 0 ? 0 : 1;
    TTF_CloseFont(font);
    TTF_Quit();
    SDL_DestroyTexture(tiles);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(sheet);
    unloadLevel(loaded.level);
    return result;
}
