/* The sound library: streaming playback of audio files on numbered channels,
 * a mixer with a chain of processing units, and a live spectrum.
 *
 * Thread contract: every call comes from the program's own threads (normally
 * one); unit callbacks run on the library's mixing thread. With the MANUAL
 * output, FSOUND_Update must not run at the same time as another call. */
#ifndef FSOUND_H
#define FSOUND_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FSOUND_STREAM  FSOUND_STREAM;
typedef struct FSOUND_DSPUNIT FSOUND_DSPUNIT;
typedef void *(*FSOUND_DSPCALLBACK)(void *block, void *other, int frames, void *user);

#define FSOUND_LOOP_OFF    1    /* stream mode: play once, then end by itself */
#define FSOUND_STEREOPAN (-1)   /* pan value: full stereo */
enum { FSOUND_OUTPUT_DEVICE = 0, FSOUND_OUTPUT_NOSOUND = 1, FSOUND_OUTPUT_MANUAL = 2 };

int   FSOUND_SetOutput(int output);                 /* before Init; nonzero when accepted */
int   FSOUND_Init(int mixrate, int channels, unsigned flags);  /* nonzero on success */
void  FSOUND_Close(void);
int   FSOUND_Update(void);                          /* MANUAL output: mix one block; returns its frame count */

FSOUND_STREAM *FSOUND_Stream_OpenFile(const char *path, unsigned mode, int offset); /* 0 on failure */
int   FSOUND_Stream_Play(int channel, FSOUND_STREAM *stream);
int   FSOUND_Stream_Stop(FSOUND_STREAM *stream);
int   FSOUND_Stream_Close(FSOUND_STREAM *stream);
int   FSOUND_Stream_GetLengthMs(FSOUND_STREAM *stream);
int   FSOUND_Stream_GetTime(FSOUND_STREAM *stream);
int   FSOUND_IsPlaying(int channel);
int   FSOUND_SetVolume(int channel, int volume);
int   FSOUND_GetVolume(int channel);
int   FSOUND_SetPan(int channel, int pan);

FSOUND_DSPUNIT *FSOUND_DSP_GetFFTUnit(void);
int   FSOUND_DSP_GetActive(FSOUND_DSPUNIT *unit);
void  FSOUND_DSP_SetActive(FSOUND_DSPUNIT *unit, int active);
FSOUND_DSPUNIT *FSOUND_DSP_Create(FSOUND_DSPCALLBACK callback, int priority, void *user);
void  FSOUND_DSP_Free(FSOUND_DSPUNIT *unit);
float *FSOUND_DSP_GetSpectrum(void);

#ifdef __cplusplus
}
#endif

#endif
