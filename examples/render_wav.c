/* render_wav SONG.xm OUT.wav: renders an XM song once through into a 16-bit
 * stereo WAV file at 44100 Hz, the frames `korvanthe-xm render` writes. */
#include <korvanthe/xm.h>

#include <stdio.h>

static void put32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = (unsigned char)(value >> (8 * i));
    }
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: render_wav SONG.xm OUT.wav\n");
        return 2;
    }
    const int32_t rate = 44100;
    int error = 0;
    korvanthe_xm_song* song = korvanthe_xm_load_file(argv[1], &error);
    if (song == NULL) {
        fprintf(stderr, "render_wav: %s: %s\n", argv[1], korvanthe_xm_error_text(error));
        return 1;
    }
    const int64_t frames = korvanthe_xm_duration_frames(song, rate, NULL);
    FILE* out = fopen(argv[2], "wb");
    if (frames < 0 || out == NULL || korvanthe_xm_render_start(song, rate, NULL, 0) != 0) {
        fprintf(stderr, "render_wav: %s: cannot render into it\n", argv[2]);
        return 1;
    }
    /* A canonical 44-byte header; the samples are little-endian, as on x86. */
    unsigned char header[44] = "RIFF____WAVEfmt ____\1\0\2\0________\4\0\20\0data____";
    put32(header + 4, (uint32_t)(36 + frames * 4));
    put32(header + 16, 16);
    put32(header + 24, (uint32_t)rate);
    put32(header + 28, (uint32_t)rate * 4);
    put32(header + 40, (uint32_t)(frames * 4));
    fwrite(header, 1, sizeof header, out);
    int16_t pcm[2 * 4096];
    int64_t got;
    while ((got = korvanthe_xm_render(song, pcm, 4096, NULL, 0, NULL)) > 0) {
        fwrite(pcm, 4, (size_t)got, out);
    }
    korvanthe_xm_free(song);
    return fclose(out) == 0 ? 0 : 1;
}
