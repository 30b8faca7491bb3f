// The texture table through which the effects find their pictures, and the
// upload of pixel buffers (see host/images.h) into linear-filtered RGB
// textures. Needs a current rendering context (host/window.h). First thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace korvanthe {

inline constexpr int TextureSlotCount = 16;

// OpenGL texture names by slot; 0 is an empty slot. Slots 0 to 6 hold the
// demo's pictures once the main sequence has set them.
extern std::array<unsigned int, TextureSlotCount> textures;

// Makes a texture of width x height pixels in the current context: RGB (the
// top byte of each word is dropped), linear filtering both ways, no mipmaps,
// wrap modes left at GL_REPEAT. Pixels beyond the end of the buffer count as
// black. Returns the new name, which stays bound; 0 for a width or height
// below 1.
unsigned int uploadTexture(std::span<const uint32_t> pixels, int width, int height);

// Uploads a picture into textures[slot] and keeps its RGB bytes, so that
// uploadPicturesAgain can make it again in a new rendering context. A slot
// outside the table is ignored.
void setPicture(int slot, std::span<const uint32_t> pixels, int width, int height);

// Makes every picture given to setPicture again in the current context and
// stores the new names. Called after a fullscreen toggle that replaced the
// context (the old names died with the old context).
void uploadPicturesAgain();

// Forgets the kept pictures and empties the table (the textures themselves go
// with their context).
void forgetPictures();

} // namespace korvanthe
