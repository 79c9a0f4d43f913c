/* The sound library: streaming playback of audio files on numbered channels,
 * a mixer with a chain of processing units, and a live spectrum.
 *
 * What a call costs. Each block below says which thread may make the call,
 * what it may wait for, what it reads of files on the caller's thread, and
 * what it does when a unit callback makes it. The terms:
 *
 * - The mixing thread mixes one block of FSOUND_BLOCK_FRAMES (1024) frames at
 *   a time, about 23 ms of sound, and runs the units' callbacks on it: the
 *   audio device's thread, the library's own thread with the NOSOUND output
 *   (or when no device opened), the caller of FSOUND_Update with the MANUAL
 *   output. A program thread is any other thread.
 * - The lock: every call takes the library's one lock for its whole length,
 *   so calls from several threads are serialised, and a call waits for
 *   whatever call another thread is in. Calls not said to wait or read hold
 *   it for microseconds.
 * - A block boundary: the end of the block being mixed when the call comes;
 *   no wait when none is, nor ever with the MANUAL output. At most what the
 *   mixer takes over one block, units included (FSOUND_STATS.worstBlockMs),
 *   which is well under the 23 ms the block plays for.
 * - From a unit callback, on the mixing thread, every call is refused at once,
 *   without taking the lock: it returns 0 (null for pointers), and the calls
 *   that return nothing do nothing. The callback runs while a call of the
 *   program may hold the lock, and must never wait for it. */
#ifndef FSOUND_H
#define FSOUND_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FSOUND_STREAM FSOUND_STREAM;
typedef struct FSOUND_DSPUNIT FSOUND_DSPUNIT;
typedef void* (*FSOUND_DSPCALLBACK)(void* block, void* other, int frames, void* user);

#define FSOUND_LOOP_OFF 1     /* stream mode: play once, then end by itself */
#define FSOUND_STEREOPAN (-1) /* pan value: full stereo */
enum { FSOUND_OUTPUT_DEVICE = 0, FSOUND_OUTPUT_NOSOUND = 1, FSOUND_OUTPUT_MANUAL = 2 };

/* Before Init; nonzero when accepted (not when the library is started).
 * Any program thread; the lock only. In a unit callback: 0. */
int FSOUND_SetOutput(int output);

/* Starts the library (closing it first if it runs); nonzero on success. 0 also
 * when the device did not open: the library then runs all the same, mixing in
 * real time without sound.
 * Thread: any program thread.
 * Waits:  for the system's audio to open the device (SDL; no bound of ours);
 *         starts the feeder thread (not for MANUAL), and the mixing thread
 *         for NOSOUND.
 * Files:  none. In a unit callback: 0 (and the library is left as it is). */
int FSOUND_Init(int mixrate, int channels, unsigned flags);

/* Stops the output, then releases every stream (closed ones still waiting to
 * be released too) and every unit; no callback runs after it returns.
 * Thread: any program thread.
 * Waits:  for a device callback under way, or the NOSOUND thread's next block
 *         (up to 23 ms); for the feeder thread to end its decoding of one
 *         chunk (4096 frames).
 * Files:  closes them. In a unit callback: does nothing. */
void FSOUND_Close(void);

/* MANUAL output only (0 with the others): tops up every open stream to two
 * blocks, mixes one block and runs the units, all on the caller's thread,
 * which is the mixing thread for that time; returns the block's frame count.
 * Thread: any program thread. Holds the lock for all of it.
 * Files:  reads and decodes what the top-up takes. In a unit callback: 0. */
int FSOUND_Update(void);

/* Opens an audio file (`offset`: where it starts inside the file named); 0 on
 * failure. The stream is ready to play: its first 8192 frames are decoded.
 * Thread: any program thread. Holds the lock for all of it.
 * Files:  all on the caller's thread. Regular files only (never waits on a
 *         FIFO or a device); a few bytes per ID3v2 tag in front (at most 16);
 *         72 kB where the audio starts; the decoder's own header reads; the
 *         first 8192 frames. MPEG audio also reads 3 bytes at 128 from the end
 *         and, when its frame table is missing or disagrees with the file,
 *         every frame of it once, for audio of up to 32 MB (about 1 ms per
 *         3 MB). The benchmarks time it.
 * In a unit callback: 0. */
FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* path, unsigned mode, int offset);

/* Plays the stream on the channel; whatever played there fades out over 256
 * frames in the next block. Nonzero when the channel and the stream are valid.
 * Thread: any program thread.
 * Waits:  the lock only, for a stream not played before. One played before
 *         (stopped or not) starts again from the top: it is cut wherever it
 *         still plays or fades, and the call waits for a block boundary and
 *         for a chunk the feeder thread may be decoding for it (4096 frames).
 * Files:  only then: a seek to the start and 8192 frames decoded.
 * In a unit callback: 0. */
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);

/* Fades the stream out over 256 frames in the next block; it stays open, at
 * the position it reached. Nonzero for an open stream.
 * Thread: any program thread. Waits: the lock only. Files: none.
 * In a unit callback: 0. */
int FSOUND_Stream_Stop(FSOUND_STREAM* stream);

/* Closes the stream: the handle is invalid when the call returns. Nonzero for
 * an open stream.
 * Thread: any program thread. Waits: the lock only.
 * Files:  none with the DEVICE and NOSOUND outputs: the next block fades the
 *         stream out, and the feeder thread then releases it and closes its
 *         file (its fade-out is cut if the output has not mixed it within
 *         250 ms). With the MANUAL output nothing is mixing: it is cut, and
 *         its file closed, at once.
 * In a unit callback: 0. */
int FSOUND_Stream_Close(FSOUND_STREAM* stream);

/* The stream's length, and the time it has played: frames mixed, its fades
 * included, as of the last block. 0 for a handle that is not open.
 * Thread: any program thread. Waits: the lock only. Files: none.
 * In a unit callback: 0. */
int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream);
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);

/* Whether a stream plays on the channel and has not reached its end. Volume
 * (0 to 255) and pan (0 left to 255 right, or FSOUND_STEREOPAN) glide to a
 * new value over the next block; Set... return nonzero for a valid channel.
 * Thread: any program thread. Waits: the lock only. Files: none.
 * In a unit callback: 0, or nothing done. */
int FSOUND_IsPlaying(int channel);
int FSOUND_SetVolume(int channel, int volume);
int FSOUND_GetVolume(int channel);
int FSOUND_SetPan(int channel, int pan);

/* The library's own spectrum unit (inactive until set active; DSP_Free leaves
 * it), and whether a unit runs, which the next block honours.
 * Thread: any program thread. Waits: the lock only. Files: none.
 * In a unit callback: null or 0, or nothing done. */
FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit(void);
int FSOUND_DSP_GetActive(FSOUND_DSPUNIT* unit);
void FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, int active);

/* Adds an inactive unit to the chain that every block passes through, in
 * ascending priority (equal ones in creation order); null without a callback
 * or when the chain holds 64 units (the spectrum unit among them). The
 * callback runs on the mixing thread, once per block, over `frames`
 * interleaved 16-bit stereo frames in `block`; it returns the block it leaves
 * the result in (`block`, `other` or one of its own; null for `block`), and
 * must never wait: the output is waiting for it.
 * Thread: any program thread.
 * Waits:  for a block boundary. Files: none. In a unit callback: null. */
FSOUND_DSPUNIT* FSOUND_DSP_Create(FSOUND_DSPCALLBACK callback, int priority, void* user);

/* Takes the unit out of the chain; when it returns the callback can no longer
 * run, and its user data may go.
 * Thread: any program thread.
 * Waits:  for two block boundaries. Files: none. In a unit callback: nothing. */
void FSOUND_DSP_Free(FSOUND_DSPUNIT* unit);

/* The latest block's 512 spectrum magnitudes, in a copy of the calling
 * thread's own that stays put until that thread's next call; zeros when the
 * spectrum unit is inactive or the library is not started.
 * Thread: any program thread. Waits: the lock; retries, without sleeping,
 * while the mixer publishes a new picture (512 stores). Files: none.
 * In a unit callback: zeros. */
float* FSOUND_DSP_GetSpectrum(void);

#ifdef __cplusplus
}
#endif

#endif
