/*
 * libgogo: encodes a 16-bit PCM WAV file into an MP3 file (MPEG-1 Layer III, constant or variable bit rate)
 * over LAME.
 *
 * One encoding at a time, no handle. Order of use:
 *   MPGE_initializeWorkVB -> MPGE_getUnitStatesVB -> MPGE_setConfigureVB (items 1, 2, 6, 3, 4)
 *   -> MPGE_detectConfigureVB -> MPGE_getConfigureVB(MC_FRAME_COUNT) -> MPGE_processFrameVB until it
 *   returns something other than 0 -> MPGE_closeCoderVB -> MPGE_endCoderVB.
 * File names are NUL-terminated UTF-8 byte strings. Numbers are signed 32-bit.
 */
#ifndef GOGO_H
#define GOGO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define GOGO_API __declspec(dllexport)
#else
#define GOGO_API __attribute__((visibility("default")))
#endif

/* Configuration items of MPGE_setConfigureVB / MPGE_getConfigureVB. */
enum {
    MC_INPUT_FILE = 1,   /* text: the WAV file to encode */
    MC_OUTPUT_FILE = 2,  /* text: the MP3 file to write (created or overwritten) */
    MC_ENCODE_MODE = 3,  /* number: 0 mono, 1 stereo, 2 joint stereo */
    MC_BITRATE = 4,      /* number: kbit/s, 32 40 48 56 64 80 96 112 128 160 192 224 256 320 */
    MC_OUTFREQ = 6,      /* number: output rate in Hz, 32000, 44100 (default) or 48000 */
    MC_FRAME_COUNT = 15, /* read only: the number of MPGE_processFrameVB calls the encoding takes */
    /* Additions; an encoding that sets neither is the constant bit rate one above, unchanged. Set them
       after item 4. */
    MC_VBR_QUALITY = 16, /* number: -1 constant bit rate (default); 0 (best) .. 9: variable bit rate at
                            LAME's -V quality, item 4 then unused; a Xing/LAME header gives the length */
    MC_GAIN = 17         /* number: gain applied to the samples before encoding, in hundredths of a dB
                            (-6000 .. 6000; default 0). The caller keeps the result below full scale */
};

/* Results besides 0 (success / more frames follow) and 1 (MPGE_processFrameVB: all written). */
enum {
    ME_NOT_READY = 2,      /* the call came out of order (no set-up, no successful check) */
    ME_BAD_ITEM = 3,       /* unknown configuration item, or a text item without text */
    ME_CANNOT_OPEN = 13,   /* the input is missing or not a PCM WAV file this library reads, or the
                              output cannot be created */
    ME_BAD_BITRATE = 20,   /* bit rate outside the list above */
    ME_BAD_MODE = 21,      /* channel mode outside 0..2 */
    ME_BAD_OUTFREQ = 22,   /* output rate outside the list above */
    ME_BAD_VBR = 24,       /* VBR quality outside -1..9, or gain outside its range */
    ME_ENCODER_SETUP = 23, /* LAME refused the settings */
    ME_READ_ERROR = 30,    /* the WAV file ended early or could not be read */
    ME_WRITE_ERROR = 31,   /* the MP3 file could not be written (full disk) */
    ME_ENCODE_ERROR = 32   /* LAME failed to encode */
};

/* Writes the library's version number (100 = 1.00) and a NUL-terminated text naming the library and the
   LAME version into a buffer of at least 255 bytes. Returns 0. */
GOGO_API int32_t MPGE_getVersionVB(int32_t* version, char* text);

/* Sets up a new encoding with default items, dropping any earlier one. 0 on success. */
GOGO_API int32_t MPGE_initializeWorkVB(void);

/* Reports the processing units in use (1: the portable C code). Returns 0. */
GOGO_API int32_t MPGE_getUnitStatesVB(int32_t* units);

/* Takes over one item; `text` is null for numeric items. 0 when taken; items are checked by
   MPGE_detectConfigureVB. */
GOGO_API int32_t MPGE_setConfigureVB(int32_t item, int32_t number, const char* text);

/* Checks the items, opens the input and output and sets LAME up. 0 when ready to encode; 13 when the
   input cannot be opened or read as PCM WAV (or the output cannot be created); another ME_ code for
   items outside their lists. */
GOGO_API int32_t MPGE_detectConfigureVB(void);

/* Reads an item into *value; MC_FRAME_COUNT after a successful check: the number of calls of
   MPGE_processFrameVB that return 0 before the one that completes the file. 0 on success. */
GOGO_API int32_t MPGE_getConfigureVB(int32_t item, int32_t* value);

/* Encodes the next frame's worth of samples and returns 0, MC_FRAME_COUNT times; the call after those
   returns 1 once the encoder is flushed, the LAME/Info tag written into the first frame and the output
   closed successfully;
   an ME_ code on a read, write or encoding error (the output is then incomplete). */
GOGO_API int32_t MPGE_processFrameVB(void);

/* Closes the input and output of the encoding. Harmless when none is open. */
GOGO_API void MPGE_closeCoderVB(void);

/* Ends the encoding and releases the encoder. Harmless when none is set up. */
GOGO_API void MPGE_endCoderVB(void);

#ifdef __cplusplus
}
#endif

#endif
