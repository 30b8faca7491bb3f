/* sdl_play SONG.xm [SECONDS]: plays an XM song through SDL2's audio callback,
 * which renders it with korvanthe_xm_render, and prints the row heard.
 *
 * "Heard" is the block stamp of the frame now leaving the loudspeaker: SDL
 * asks for a buffer when the one before it starts to sound, so the frame
 * heard lies one device buffer (the sample frames SDL grants when the device
 * opens) behind the last frame rendered. The callback keeps the latest block
 * stamps; the main thread looks up the block holding that frame. */
#include <korvanthe/xm.h>

#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>

#define KEPT_STAMPS 64

static korvanthe_xm_song* song;
static korvanthe_xm_stamp stamps[KEPT_STAMPS]; /* a ring of the latest block stamps */
static unsigned stampCount;
static int64_t rendered; /* frames handed to SDL so far */

static void SDLCALL fill(void* user, Uint8* stream, int bytes) {
    (void)user;
    korvanthe_xm_stamp fresh[KEPT_STAMPS];
    size_t count = 0;
    const int64_t frames = korvanthe_xm_render(song, (int16_t*)stream, bytes / 4, fresh,
                                               KEPT_STAMPS, &count);
    for (size_t i = 0; i < count && i < KEPT_STAMPS; ++i) {
        stamps[stampCount++ % KEPT_STAMPS] = fresh[i];
    }
    rendered += frames;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: sdl_play SONG.xm [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? atof(argv[2]) : 1e9;
    int error = 0;
    song = korvanthe_xm_load_file(argv[1], &error);
    if (song == NULL) {
        fprintf(stderr, "sdl_play: %s: %s\n", argv[1], korvanthe_xm_error_text(error));
        return 1;
    }
    SDL_AudioSpec want = {0}, have;
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = fill;
    if (SDL_Init(SDL_INIT_AUDIO) != 0 ||
        korvanthe_xm_render_start(song, want.freq, NULL, 1) != KORVANTHE_XM_OK) {
        fprintf(stderr, "sdl_play: %s\n", SDL_GetError());
        return 1;
    }
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(NULL, 0, &want, &have, 0);
    if (device == 0) {
        fprintf(stderr, "sdl_play: no audio device: %s\n", SDL_GetError());
        return 1;
    }
    SDL_PauseAudioDevice(device, 0);
    int lastRow = -1;
    for (Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < seconds * 1000;) {
        SDL_LockAudioDevice(device);
        const int64_t heard = rendered - have.samples;
        korvanthe_xm_stamp now = {0, 0, 0, 0};
        for (unsigned i = stampCount > KEPT_STAMPS ? stampCount - KEPT_STAMPS : 0; i < stampCount; ++i) {
            if (stamps[i % KEPT_STAMPS].end_frame > heard) {
                now = stamps[i % KEPT_STAMPS];
                break;
            }
        }
        SDL_UnlockAudioDevice(device);
        if (now.end_frame > 0 && now.row != lastRow) {
            printf("order %3d  row %3d  %d ms\n", now.order, now.row, now.time_ms);
            fflush(stdout);
            lastRow = now.row;
        }
        SDL_Delay(5);
    }
    SDL_CloseAudioDevice(device);
    korvanthe_xm_free(song);
    SDL_Quit();
    return 0;
}
