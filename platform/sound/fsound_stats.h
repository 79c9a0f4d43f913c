/* Counters of the sound library's mixer, for tests and benchmarks. */
#ifndef FSOUND_STATS_H
#define FSOUND_STATS_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FSOUND_STATS {
    unsigned long long blocksMixed; /* blocks handed to the output since Init or the last reset */
    unsigned long long underruns;   /* blocks in which a playing channel found its ring empty */
    double worstBlockMs;            /* longest time the mixer spent on one block */
    int streamsOpen;                /* streams opened and not yet released: a closed stream
                                       counts until its fade-out is mixed and the feeder
                                       thread has released it (at once with MANUAL) */
    int unitsOpen;                  /* units made with FSOUND_DSP_Create and not yet freed */
    unsigned long long bytesRead;   /* bytes read from audio files since the program started */
} FSOUND_STATS;

/* The counters, zeros when the library is not started; the reset zeroes the
 * mixer's three. Any program thread; the lock only, no file I/O (see fsound.h).
 * In a unit callback: zeros, or nothing done. */
void FSOUND_GetStats(FSOUND_STATS* stats);
void FSOUND_ResetStats(void);

/* Frames in one mixed block, and the output rate. */
#define FSOUND_BLOCK_FRAMES 1024
#define FSOUND_MIX_RATE 44100

#ifdef __cplusplus
}
#endif

#endif
