// Shuffling the playlist and playing it across the two decks.
#include "CorvalineDlg.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kAutoCrossfadeBox = 1022;
constexpr int kExecuteButton = 1029;
constexpr int kCancelListButton = 1030;
constexpr unsigned kDrawMax = 32767;

} // namespace

unsigned CCorvalineDlg::IndexFromDraw(unsigned draw, unsigned n) {
    if (n == 0)
        return 0;
    // 64 bits: the product overflows 32 for playlists past 131072 entries.
    const std::uint64_t k = std::uint64_t{draw} * n / kDrawMax;
    return k >= n ? n - 1 : static_cast<unsigned>(k);
}

unsigned CCorvalineDlg::RandomIndex(unsigned n) {
    // Uniform over 0..32767 whether the library's generator stops there or at 2^31 - 1.
    const auto draw = static_cast<unsigned>(std::rand()) % (kDrawMax + 1);
    return IndexFromDraw(draw, n);
}

std::string CCorvalineDlg::PickShuffled() {
    const auto n = static_cast<unsigned>(m_sequence.size());
    if (n == 0)
        return {};
    for (std::uint64_t probe = 0; probe < std::uint64_t{10} * n; ++probe) {
        const auto found = m_sequence.find(RandomIndex(n));
        if (found != m_sequence.end() && found->second.picked == 0) {
            found->second.picked = 1;
            return found->second.path;
        }
    }
    for (auto& [number, entry] : m_sequence) {
        if (entry.picked == 0) {
            entry.picked = 1;
            return entry.path;
        }
    }
    // A round is complete: the next one starts from all entries.
    for (auto& [number, entry] : m_sequence)
        entry.picked = 0;
    auto found = m_sequence.find(RandomIndex(n));
    if (found == m_sequence.end())
        found = m_sequence.begin();
    found->second.picked = 1;
    return found->second.path;
}

void CCorvalineDlg::OnRandomize() {
    const std::size_t n = m_sequence.size();
    m_sequenceList.ResetContent();
    for (std::size_t i = 0; i < n; ++i)
        m_sequenceList.AddString(PickShuffled());
    m_sequenceList.SetCurSel(0);
}

std::string CCorvalineDlg::NextInSequence() {
    if (m_sequenceList.GetCount() <= 0)
        OnRandomize();
    std::string text;
    // The top line, whatever line is selected.
    if (m_sequenceList.GetText(0, text) != LB_ERR)
        m_sequenceList.DeleteString(0);
    return text;
}

void CCorvalineDlg::EnableRunControls(BOOL running) {
    if (CWnd* box = GetDlgItem(kAutoCrossfadeBox))
        box->EnableWindow(!running);
    if (CWnd* cancel = GetDlgItem(kCancelListButton))
        cancel->EnableWindow(running);
    if (CWnd* execute = GetDlgItem(kExecuteButton))
        execute->EnableWindow(!running);
}

void CCorvalineDlg::OnExecute() {
    m_sequenceRunning = 1;
    UpdateFields();
    // A run always hands over by the automatic cross-fade.
    m_autoCrossfade = 1;
    EnableRunControls(TRUE);
    if (!m_playing1 && !m_playing2) {
        m_path = NextInSequence();
        UpdateControls();
        OnPlay1();
        // What the next hand-over will start waits in edit 1000.
        m_path = NextInSequence();
        UpdateControls();
    }
    UpdateControls();
}

void CCorvalineDlg::OnCancelList() {
    UpdateFields();
    m_sequenceRunning = 0;
    EnableRunControls(FALSE);
    UpdateControls();
}

void CCorvalineDlg::OnSequenceDblClk() {
    UpdateFields();
    const int selected = m_sequenceList.GetCurSel();
    if (selected == LB_ERR)
        return;
    // The line stays: only a run's hand-over takes lines out.
    m_sequenceList.GetText(selected, m_path);
    UpdateControls();
    if (m_sequenceRunning) {
        OnCrossFade();
    } else if (!m_playing1 && !m_playing2) {
        OnPlay1();
    }
}
