/*
 * libvbmp3: MP3 decoding into WAV files, ID3 tag reading and writing, ID3 genre names.
 *
 * Plain C interface without handles: vbmp3_open makes one file the current one, and vbmp3_decodeWave,
 * vbmp3_getState and vbmp3_close act on it. All text is UTF-8; file names are NUL-terminated byte strings.
 * Text fields inside records are fixed-size byte arrays: the library writes NUL-terminated text into them
 * and never past a field; text a caller puts in may fill the whole field (blank-padded, no NUL).
 * A truth value is 16-bit: zero is failure, anything else success. Numbers are signed 32-bit.
 */
#ifndef VBMP3_H
#define VBMP3_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VBMP3_API __declspec(dllexport)
#else
#define VBMP3_API __attribute__((visibility("default")))
#endif

/* An ID3 tag as the library reads and writes it (656 bytes). */
typedef struct VBMP3_TAG_INFO {
    char title[128];
    char artist[128];
    char album[128];
    char year[5]; /* four characters and a NUL */
    char comment[128];
    char padding[3];
    int32_t genre; /* 0..255, -1 for none */
    char genreName[128];
    int32_t trackNo; /* 1..255 for an ID3v1.1 tag; -1 for ID3v1.0 (no track number) */
} VBMP3_TAG_INFO;

/* The tag record without its track number (652 bytes); vbmp3_getGenre and vbmp3_getFileInfo use it. */
typedef struct VBMP3_SHORT_TAG_INFO {
    char title[128];
    char artist[128];
    char album[128];
    char year[5];
    char comment[128];
    char padding[3];
    int32_t genre;
    char genreName[128];
} VBMP3_SHORT_TAG_INFO;

/* Filled by vbmp3_open (272 bytes). */
typedef struct VBMP3_INPUT_INFO {
    char trackName[128];
    char artistName[128];
    int32_t channels;     /* of the stream, and of the WAV vbmp3_decodeWave writes */
    int32_t bitRate;      /* kbit/s; the average for a VBR stream */
    int32_t samplingRate; /* Hz, of the stream and of the WAV */
    int32_t totalLength;  /* PCM samples per channel, encoder delay and padding removed */
} VBMP3_INPUT_INFO;

/* Stream facts that vbmp3_getFileInfo gathers (56 bytes). */
typedef struct VBMP3_MPEG_INFO {
    int32_t version;      /* 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5 */
    int32_t layer;        /* 1..3 */
    int32_t bitRate;      /* kbit/s of the first frame */
    int32_t samplingRate; /* Hz */
    int32_t channels;     /* 1 or 2 */
    int32_t channelMode;  /* 0 stereo, 1 joint stereo, 2 dual channel, 3 mono */
    int32_t frameCount;
    int32_t totalSamples; /* as VBMP3_INPUT_INFO.totalLength */
    int32_t durationMs;
    int32_t vbr; /* 0 CBR, 1 VBR, 2 ABR */
    int32_t crc; /* nonzero when frames carry a CRC */
    int32_t copyright;
    int32_t original;
    int32_t emphasis;
} VBMP3_MPEG_INFO;

#ifdef __cplusplus
static_assert(sizeof(VBMP3_TAG_INFO) == 656, "tag record layout");
static_assert(offsetof(VBMP3_TAG_INFO, artist) == 128 && offsetof(VBMP3_TAG_INFO, album) == 256, "layout");
static_assert(offsetof(VBMP3_TAG_INFO, year) == 384 && offsetof(VBMP3_TAG_INFO, comment) == 389, "layout");
static_assert(offsetof(VBMP3_TAG_INFO, genre) == 520 && offsetof(VBMP3_TAG_INFO, genreName) == 524, "layout");
static_assert(offsetof(VBMP3_TAG_INFO, trackNo) == 652, "layout");
static_assert(sizeof(VBMP3_SHORT_TAG_INFO) == 652, "short tag record layout");
static_assert(offsetof(VBMP3_SHORT_TAG_INFO, genreName) == 524, "layout");
static_assert(sizeof(VBMP3_INPUT_INFO) == 272, "input information record layout");
static_assert(offsetof(VBMP3_INPUT_INFO, channels) == 256 && offsetof(VBMP3_INPUT_INFO, totalLength) == 268,
              "layout");
static_assert(sizeof(VBMP3_MPEG_INFO) == 56, "MPEG information block layout");
#endif

/* States of vbmp3_getState besides 1 (running). */
enum {
    VBMP3_STATE_DONE = 0,          /* the WAV file is complete */
    VBMP3_STATE_WRITE_ERROR = -1,  /* the WAV file could not be created or written (full disk) */
    VBMP3_STATE_DECODE_ERROR = -2, /* the stream could not be decoded further */
    VBMP3_STATE_FORMAT_ERROR = -3, /* the stream's output format changed and could not be converted */
    VBMP3_STATE_TOO_LONG = -4,     /* the WAV would exceed the 4 GiB RIFF limit */
    VBMP3_STATE_NOT_STARTED = -5,  /* no decoding was started since the last vbmp3_open */
    VBMP3_STATE_CANCELLED = -6     /* vbmp3_close stopped the decoding */
};

/* Sets the decoder up. Nonzero on success. */
VBMP3_API int16_t vbmp3_init(void);
/* Releases what vbmp3_init set up; closes the current file. Harmless when nothing is set up. */
VBMP3_API void vbmp3_free(void);

/* Fills the short tag record (as vbmp3_getFileTagInfoEX) and the MPEG block. Nonzero when the file holds
   MPEG audio. Either pointer may be null. */
VBMP3_API int16_t vbmp3_getFileInfo(const char* fileName, VBMP3_SHORT_TAG_INFO* tag, VBMP3_MPEG_INFO* info);

/* Reads the file's tags into the record: each field from the ID3v2 tag (2.2, 2.3, 2.4) when it has it, else
   from the ID3v1 / 1.1 tag (its texts as stored, blanks at their end included). Frames of a second ID3v2
   tag right behind the first count where the first has none. The record is always rewritten: without a
   tag it holds empty texts, genre -1 and track -1. Nonzero when a tag was read. */
VBMP3_API int16_t vbmp3_getFileTagInfoEX(const char* fileName, VBMP3_TAG_INFO* tag);

/* Writes the record as the file's ID3v1 tag (1.1 with a track number 1..255, else 1.0) and into its ID3v2
   text frames (title, artist, album, year, comment, genre, track), trailing blanks removed. Only fields the
   record changes are rewritten: a text equal to the tag's, or to the tag's cut to the field (or to 30
   characters), is no change. Every other frame stays byte for byte and the tag keeps its version; frames
   of odd names (lower-case letters) are kept as they are, 0xFF padding is padding, and a last frame that
   overruns its tag by a few bytes keeps the bytes the tag holds; a tag that cannot be parsed to its end
   otherwise is not written (result 0). The decoded audio never changes. The file is replaced only by a
   verified complete copy, so a failure leaves it as it was; a symbolic link is written through, a file with
   several hard links rewritten in place, and so is a file whose owner or attributes a new file could not keep
   or whose folder cannot be written; owner, group, mode, extended attributes and ACLs stay. An ID3v2 tag the
   write creates holds every field of the record. Genre -1 without a name clears a genre of the list and
   leaves any other genre alone. A last frame cut short is completed with zero bytes before a new ID3v1 tag.
   optionA and optionB are reserved (callers pass 1). Nonzero on success; on failure vbmp3_getTagError tells
   why. */
VBMP3_API int16_t vbmp3_setTagInfoEX(const char* fileName, const VBMP3_TAG_INFO* tag, int32_t optionA,
                                     int32_t optionB);

/* Why the last vbmp3_setTagInfoEX or vbmp3_copyTagV2 of the calling thread returned 0. */
enum {
    VBMP3_TAG_OK = 0,           /* the last write succeeded (or none was made) */
    VBMP3_TAG_NOT_WRITABLE = 1, /* the file or its folder cannot be written */
    VBMP3_TAG_DISK_FULL = 2,    /* no room on the disk (or over the quota) for the new file */
    VBMP3_TAG_UNSAFE = 3,       /* the file's tags or audio cannot be read safely: writing could lose data */
    VBMP3_TAG_RIFF = 4,         /* MP3 audio inside a WAV (RIFF) file: its tag cannot be written here */
    VBMP3_TAG_MISSING = 5       /* the file does not exist (or cannot be read) */
};
VBMP3_API int32_t vbmp3_getTagError(void);

/* Replaces the ID3v2 tag of `to` by a byte-for-byte copy of the ID3v2 tag of `from` (removing it when
   `from` has none). When a second ID3v2 tag follows the first in `from`, its frames of a name the first
   lacks are added. Same safety as vbmp3_setTagInfoEX. Nonzero on success. */
VBMP3_API int16_t vbmp3_copyTagV2(const char* from, const char* to);

/* Re-encodes one picture of a tag for vbmp3_reworkTagV2: `data` holds the picture's `size` bytes. Returns
   nonzero to replace it by the JPEG at *jpeg (*jpegSize bytes, kept alive by the caller until the next call
   or the end of vbmp3_reworkTagV2); zero keeps the picture as it is. */
typedef int32_t (*VBMP3_PICTURE_FIT)(void* context, const unsigned char* data, size_t size,
                                     const unsigned char** jpeg, size_t* jpegSize);

/* What vbmp3_reworkTagV2 changes; a zeroed record changes nothing. */
typedef struct VBMP3_TAG_REWORK {
    int32_t version;        /* 3: the tag becomes version 2.3 (frames converted; those without a 2.3 form
                               dropped and named in the notes); 0: the tag keeps its version */
    int32_t dropReplayGain; /* nonzero: TXXX frames named REPLAYGAIN_* and RVA2 frames are removed */
    const char* userTexts;  /* null, or UTF-8 pairs "DESCRIPTION\0VALUE\0" ended by an empty description:
                               TXXX frames set, replacing any of the same description */
    VBMP3_PICTURE_FIT fitPicture; /* null, or called for the picture of every APIC frame */
    void* context;                /* passed to fitPicture */
} VBMP3_TAG_REWORK;

/* Rewrites the ID3v2 tag of an MP3 file as `rework` says, creating one from the ID3v1 tag's fields when
   the file has none and a frame is to be set; everything not named stays byte for byte, the audio is never
   changed, and the file is replaced only by a verified complete copy. `notes` (notesSize bytes, may be null)
   gets the ids of the dropped frames, separated by blanks, NUL-terminated. Nonzero on success; zero when
   the file cannot be read or written or its tag cannot be parsed to its end (the file is then unchanged). */
VBMP3_API int16_t vbmp3_reworkTagV2(const char* fileName, const VBMP3_TAG_REWORK* rework, char* notes,
                                    int32_t notesSize);
/* Reads the value of the file's ID3v2 user text frame (TXXX) whose description is `description` into
   `value` (UTF-8, NUL-terminated, cut to size - 1 bytes at a character boundary). Only the ID3v2 tag is
   read. Nonzero when the frame was found. */
VBMP3_API int16_t vbmp3_getUserText(const char* fileName, const char* description, char* value, int32_t size);

/* Sets the value of the TXXX frame whose description is `description` (replacing every such frame where
   the first stood, or adding one at the end; a file without an ID3v2 tag gets a version 2.3 tag), or removes
   those frames when `value` is null or empty. Every other frame stays byte for byte; same safety as
   vbmp3_setTagInfoEX. Nonzero on success, also when nothing had to change. */
VBMP3_API int16_t vbmp3_setUserText(const char* fileName, const char* description, const char* value);

/* A quick estimate of the stream's facts from its first frames only (a Xing/Info frame's frame count, else
   the audio's size at the first frame's bit rate), reading a few blocks of the file instead of all of it.
   Fills the MPEG block as vbmp3_getFileInfo does, durationMs and totalSamples estimated. Nonzero when
   MPEG audio was found. */
VBMP3_API int16_t vbmp3_estimateFileInfo(const char* fileName, VBMP3_MPEG_INFO* info);

/* A file rewritten in place (see vbmp3_setTagInfoEX) is first given its complete new version in a hidden
   copy, .NAME.vbmp3-PID-XXXXXX beside it or in the temporary folder ($TMPDIR, else /tmp), and a journal
   beside that copy, flushed to disk, before its first byte is overwritten. A writer killed during the
   rewrite leaves the journal: the next call of this library that reads or writes the file by the name it
   was written through (or a path that resolves to it) first finishes the rewrite from the copy, so that
   every name of the file gives the old version or the new one; a call on a file whose rewrite cannot be
   finished fails. Other hard links of the file are put right through that name, or by this sweep:
   vbmp3_completeRewrites finishes every rewrite whose journal lies in `folder` (the file's folder, or the
   temporary folder for copies that lie there) and removes the hidden copies of writers no longer running;
   work files of writers still running, and of other users, are left alone. The number of files finished
   or removed; -1 when the folder cannot be read. */
VBMP3_API int32_t vbmp3_completeRewrites(const char* folder);

/* Writes into tag->genreName the name of genre tag->genre (0..255; empty where the list has none).
   Nonzero when the genre has a name. */
VBMP3_API int16_t vbmp3_getGenre(VBMP3_SHORT_TAG_INFO* tag);

/* Makes the file the current one (closing any previous one) and fills the record. Only frames that form a
   consistent stream count (damage, noise and a cut last frame are skipped); the total length is exactly
   what vbmp3_decodeWave writes. Zero when the file holds no such stream. */
VBMP3_API int16_t vbmp3_open(const char* fileName, VBMP3_INPUT_INFO* info);

/* Starts decoding the current file into a 16-bit PCM WAV at the stream's rate and channel count and
   returns at once; a thread of the library does the work. Zero when nothing could be started (no current
   file, a decoding already running); vbmp3_getState then tells why. */
VBMP3_API int16_t vbmp3_decodeWave(const char* wavFileName);

/* 1 while decoding runs, with *position = samples per channel written so far; otherwise one of the
   VBMP3_STATE_ codes (0: the WAV is complete). position may be null. */
VBMP3_API int32_t vbmp3_getState(int32_t* position);

/* Stops and waits for a running decoding and closes the current file. Harmless when none is open. */
VBMP3_API void vbmp3_close(void);

#ifdef __cplusplus
}
#endif

#endif
