#pragma once

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

// Results shared by every modal screen: 0 means the window was closed and the
// caller must end its own screen with 0.
enum DialogResult {
    dialogClosed = 0,
    dialogOk = 1,
    dialogCancel = 2,
};

// Lets the user edit `enteredText` (at least maxLength + 1 bytes) in place on
// an on-screen Hungarian keyboard or the physical keyboard.
// Returns 0 (window closed), 1 (confirmed) or 2 (cancelled).
int textInput(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, const char* promptText, char* enteredText,
              int maxLength);

// The prompt for a level file's name ("File neve") on `filename`, a 64-byte
// buffer: textInput, and Tab or the button beside the field list the level
// files to choose from; a file chosen there is confirmed at once.
int fileInput(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, char* filename);

// A message with an "OK" button; a line feed starts a second line. Returns 0
// (window closed) or 1.
int alertBox(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, const char* promptText);

// A question with "OK" and "Mégse", of one or two lines like a message.
// Returns 0 (window closed), 1 or 2.
int dialogBox(SDL_Renderer* renderer, SDL_Texture* tiles, TTF_Font* font, const char* promptText);
