// The main window: both decks, the playlist, the two display panels and every
// setting bound to a control. Its member functions are defined in the folder
// of the subsystem they belong to (app, decks, playlist, audio).
//
// Thread contract: everything here runs on the window's thread. The only
// values shared with the sound library's mixing thread are the program-wide
// atomics of the compressor unit (audio/CompressorUnit.h).
#pragma once

#include "Afx.h"
#include "DeckTrack.h"
#include "Resources.h"
#include "SequenceEntry.h"
#include "SpectrumPanel.h"
#include "fsound.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

struct Deck;
class RemoteControl;
class ShuffleFlags;

class CCorvalineDlg : public CDialog {
  public:
    enum { IDD = IDD_CORVALINE_DIALOG };

    explicit CCorvalineDlg(CWnd* pParent = nullptr);
    ~CCorvalineDlg() override;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Window shell (app/)
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();

    // Decks (decks/)
    void OnPlay1();
    void OnPlay2();
    void OnStop1();
    void OnStop2();
    void OnTimer(UINT_PTR nIDEvent);
    void OnFadeIn1();
    void OnFadeIn2();
    void OnFadeOut1();
    void OnFadeOut2();
    void OnOutTo1();
    void OnOutTo2();
    void OnCrossFade();
    void OnCrossfadeMsKillFocus();
    void OnPanReleased1(NMHDR* pNMHDR, LRESULT* pResult);
    void OnPanReleased2(NMHDR* pNMHDR, LRESULT* pResult);
    void OnFullStereo1();
    void OnFullStereo2();

    // Playlist (playlist/)
    void OnBrowse();
    void OnAddFile();
    void OnAddDirectory();
    void OnClear();
    void OnDropFiles(HDROP hDropInfo);
    void OnRandomize();
    void OnExecute();
    void OnCancelList();
    void OnSequenceDblClk();

    // Signal and display (audio/)
    void OnCompressor();
    void OnScaleReleased(NMHDR* pNMHDR, LRESULT* pResult);

    DECLARE_MESSAGE_MAP()

  public:
    // A deck's volume runs from silence to this, the sound library's full scale.
    static constexpr int kFullVolume = 255;
    // The pan sliders run from 0 (left) to kPanRight and rest at the centre.
    static constexpr int kPanRight = 255;
    static constexpr int kCentrePan = 128;
    // The cross-fade times the binding accepts, in ms.
    static constexpr UINT kCrossfadeMinMs = 2000;
    static constexpr UINT kCrossfadeMaxMs = 15000;
    // The display panels' top-left corners in the client area, in pixels.
    static constexpr int kPanelLeft = 20;
    static constexpr int kPanel1Top = 225;
    static constexpr int kPanel2Top = 355;

    // Operations shared between the subsystems.
    Deck DeckAt(int index);
    void Play(Deck deck);
    void Stop(Deck deck);
    void CreateCompressorUnit();
    void FreeCompressorUnit();
    void FeedMeter(CSpectrumPanel& panel, std::atomic<int>& peak);

    // Playlist operations (playlist/).
    void FillExtensionTable();
    void AddFromSearch(const std::string& pattern, int includeSubdirectories);
    // Appends a found file to the playlist when its extension is one the player takes.
    void AddIfPlayable(const CFileFind& found);
    // The file of exactly this name if it is playable; a directory of that name, when
    // searchDirectory holds, as AddDirectory adds it.
    void AddExact(const std::string& path, bool searchDirectory);
    // Every playable file the pattern matches, and those of subdirectories with "SubDirs".
    void AddDirectory(const std::string& pattern);
    static void ReplaceLastComponent(std::string& path, const std::string& suffix);
    static void LastComponent(std::string& path);
    bool ChooseAudioFile(std::string& path);
    unsigned RandomIndex(unsigned n);
    // A draw of the generator (0..32767) scaled to an entry number below n.
    static unsigned IndexFromDraw(unsigned draw, unsigned n);
    // The path of the entry a shuffle places next, of a playlist of at least one entry whose
    // picked flags the shuffle holds.
    const std::string& PickShuffled(ShuffleFlags& flags);
    std::string NextInSequence();
    // During a run, after a deck has started: the top line into the path edit.
    void TakeNextLine();
    // During a run, a deck whose file did not open goes on to the next lines.
    void PassOverUnplayable(Deck deck);
    // "Auto Crossfade", "Cancel List" and "Execute" as a sequence run starts or ends.
    void EnableRunControls(BOOL running);

    // Decks in time (decks/): the tick's steps, fades and hand-overs.
    // The tick sleeps while a tick could change nothing (no deck plays, the panels rest);
    // a deck's start and a paint of the window wake it.
    bool TickCouldChangeNothing() const;
    void SleepTick();
    void WakeTick();
    void StepDeck(Deck deck, Deck other);
    bool CrossfadeDue(Deck deck, Deck other, int timeMs);
    void StepFade(Deck deck);
    // A run's policy at those steps.
    std::optional<std::int64_t> RunLeadMs(Deck deck, Deck other) const;
    void RunTrackEnded(Deck deck, Deck other);
    void FadeIn(Deck deck);
    void FadeOut(Deck deck);
    void HandOver(Deck from, Deck to);
    bool NamesRefusedFile();

    // Fields, in declaration order.
    CListBox m_sequenceList;
    CSliderCtrl m_panSlider2;
    CProgressCtrl m_progress2;
    CSliderCtrl m_panSlider1;
    CSliderCtrl m_scaleSlider;
    CProgressCtrl m_progress1;
    std::string m_path;
    int m_compressorOn;
    double m_gainDb;
    int m_autoCrossfade;
    UINT m_crossfadeMs;
    int m_subDirs;
    HICON m_icon;
    int m_volume1, m_volume2;
    int m_fadeOut1, m_fadeOut2;
    int m_fadeIn1, m_fadeIn2;
    int m_lengthMs1, m_lengthMs2;
    int m_playing1;
    int m_panelsFresh;
    int m_playing2;
    FSOUND_STREAM* m_stream1;
    FSOUND_STREAM* m_stream2;
    // What each deck last opened, and how many files the decks have opened.
    DeckTrack m_track1, m_track2;
    std::uint64_t m_tracksOpened;
    CSpectrumPanel m_panel1;
    CSpectrumPanel m_panel2;
    FSOUND_DSPUNIT* m_fftUnit;
    FSOUND_DSPUNIT* m_compressorUnit;
    int m_tickCount;
    int m_inTick;
    int m_tickAsleep;
    int m_soundInitFailed;
    // The playlist by entry number: the numbers run 0..n-1 in the order of adding and entries
    // go only all together, so an entry's number is its place here.
    std::vector<SequenceEntry> m_sequence;
    std::map<std::string, int> m_extensions;
    int m_sequenceRunning;
    // The path a hand-over outside a run last failed to start, until a Play opens a file.
    std::string m_refusedPath;
    // The shuffle's generator, seeded from the clock as the window is made: a 64-bit linear
    // congruential one (Knuth's constants) whose top bits make the draws. A shuffle of a long
    // playlist draws about n ln n times; this costs a multiply and an add a draw, a Mersenne
    // twister about four times that, and the C library's generator takes a lock on each.
    std::linear_congruential_engine<std::uint64_t, 6364136223846793005u, 1442695040888963407u, 0>
        m_random;
    // The player on the session bus while the window exists; see app/RemoteControl.h.
    std::unique_ptr<RemoteControl> m_remote;
};
