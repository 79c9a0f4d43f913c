// The real main window, open offscreen on the sound library's MANUAL output, for tests that
// click its controls, read its fields, run its timer ticks and check what it mixes.
//
// Nothing runs by itself: the window's own 25 ms timer is stopped once the window is open
// (tests call Tick()), and audio is mixed only by Mix(). A test that wants the timer running
// sets m_keepTickTimer in its constructor.
#pragma once

#include "AudioFiles.h"
#include "CorvalineDlg.h"
#include "OutputCapture.h"
#include "Resources.h"
#include "fsound.h"
#include "fsound_stats.h"

#include <QPoint>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

class QWidget;
class QLineEdit;
class QSlider;

namespace corvaline::testsupport {

constexpr UINT_PTR kTickTimer = 101;

// The window's fields and protected handlers, for tests.
class TestableWindow : public CCorvalineDlg {
  public:
    using CCorvalineDlg::CCorvalineDlg;
    using CCorvalineDlg::OnAddDirectory;
    using CCorvalineDlg::OnAddFile;
    using CCorvalineDlg::OnBrowse;
    using CCorvalineDlg::OnCancelList;
    using CCorvalineDlg::OnClear;
    using CCorvalineDlg::OnCompressor;
    using CCorvalineDlg::OnCrossFade;
    using CCorvalineDlg::OnDestroy;
    using CCorvalineDlg::OnExecute;
    using CCorvalineDlg::OnFadeIn1;
    using CCorvalineDlg::OnFadeIn2;
    using CCorvalineDlg::OnFadeOut1;
    using CCorvalineDlg::OnFadeOut2;
    using CCorvalineDlg::OnFullStereo1;
    using CCorvalineDlg::OnFullStereo2;
    using CCorvalineDlg::OnOutTo1;
    using CCorvalineDlg::OnOutTo2;
    using CCorvalineDlg::OnPaint;
    using CCorvalineDlg::OnPanReleased1;
    using CCorvalineDlg::OnPanReleased2;
    using CCorvalineDlg::OnPlay1;
    using CCorvalineDlg::OnPlay2;
    using CCorvalineDlg::OnQueryDragIcon;
    using CCorvalineDlg::OnRandomize;
    using CCorvalineDlg::OnScaleReleased;
    using CCorvalineDlg::OnSequenceDblClk;
    using CCorvalineDlg::OnStop1;
    using CCorvalineDlg::OnStop2;
    using CCorvalineDlg::OnSysCommand;
    using CCorvalineDlg::OnTimer;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { OpenWindow(); }
    void TearDown() override { CloseWindow(); }

    // Starts the library on `output` (through the window's constructor) and opens the
    // window modeless, which runs OnInitDialog.
    void OpenWindow(int output = FSOUND_OUTPUT_MANUAL);
    // The capture goes first (its unit belongs to the library), then the window, then the
    // object, whose destructor closes the library.
    void CloseWindow();

    TestableWindow& Dlg() { return *m_dlg; }
    QWidget* Control(int controlId) const;
    QLineEdit* Edit(int controlId) const;
    QSlider* Slider(int controlId) const;

    // A left click on a button or check box, as the user makes it.
    void Click(int controlId);
    // Types over an edit's content (no handler runs; the next read of the controls sees it).
    void SetText(int controlId, const std::string& text);
    std::string Text(int controlId) const;
    bool Checked(int controlId) const;
    bool Enabled(int controlId) const;
    bool Visible(int controlId) const;

    // Presses the mouse on a slider's thumb, drags it to `to` (in the slider's pixels, may
    // lie beyond its ends) and lets go there; `to` at the thumb itself is a click on the
    // thumb that leaves it where it is.
    void DragSlider(int controlId, QPoint to);
    QPoint SliderThumb(int controlId) const;

    // Timer 101 expiries, delivered as the window's timer delivers them.
    void Tick(int count = 1);

    // Mixes `blocks` blocks of 1024 frames; returns the frames mixed.
    static long Mix(long blocks);
    // The capture unit after every unit of the library's own, created on first use.
    OutputCapture& Out(long capacityFrames = 64 * FSOUND_BLOCK_FRAMES);
    // Mixes one block so that volume and pan changes finish their ramps, then captures
    // `blocks` blocks from an empty capture.
    void MixSettled(long blocks = 1);

    // A 16-bit 44100 Hz WAV in the test's own directory; its full path.
    std::string WriteWav(const std::string& name, long frames, const Generator& gen,
                         int channels = 2);
    // Puts a path into the path edit, where Play reads it.
    void SetPath(const std::string& path) { SetText(IDC_PATH, path); }

    static int StreamsOpen();

    TempDir m_dir;
    bool m_keepTickTimer = false;
    // Whether timer 101 was running when the window had opened.
    bool m_tickTimerStarted = false;

  private:
    std::unique_ptr<TestableWindow> m_dlg;
    std::unique_ptr<OutputCapture> m_capture;
};

// Runs a fresh window modally (library on MANUAL output) and plays `script` from inside
// its modal run. Returns DoModal's result, or kStillOpen when the script left the window
// open, in which case the run is ended here so that the test goes on.
constexpr INT_PTR kStillOpen = -2;
INT_PTR RunWindowModally(const std::function<void(TestableWindow&)>& script);

} // namespace corvaline::testsupport
